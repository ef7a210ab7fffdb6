// Object-store databases: CEPROPVAL (16-byte device layout), CEDBASEINFO, CEOIDINFO, Ce*Database*, Ce*Record*; LocalAlloc/LocalFree.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

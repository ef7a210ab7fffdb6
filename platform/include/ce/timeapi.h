// Time: GetLocalTime, GetSystemTime, FileTime conversions.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

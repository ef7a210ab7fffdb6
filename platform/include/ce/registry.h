// Registry: RegOpenKeyExW ... RegFlushKey, predefined roots, value types.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

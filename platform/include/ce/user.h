// User interface (first form): MessageBoxW with its answering hook, LoadStringW and string tables, SetCursor/LoadCursorW.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

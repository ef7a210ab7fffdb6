// String helpers on WCHAR: wcslen-like, _wcsicmp, wcsncmp, wcstok-style, wsprintfW, CompareStringW.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

// The wsprintfW formatter for kernel callers that need the text itself
// (debug output, the journal), without the caller sizing a buffer.
#pragma once

#include <cstdarg>
#include <string>

#include "ce/types.h"

namespace cedev {

std::u16string FormatW(const WCHAR* format, va_list args);

}  // namespace cedev

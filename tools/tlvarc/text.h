// UTF-16 device text and the host's UTF-8, as the tool's code names them.
// Device names may hold units that are not text (lone surrogates); Utf8
// shows them as U+FFFD, and writers that must give the exact name back
// check IsExactText first. The conversions are the device's own
// (device_text.h).
#pragma once

#include <string>
#include <string_view>

#include "device_text.h"

namespace tlvarc {

inline std::string Utf8(std::u16string_view text) { return text::ToUtf8(text); }
// False when `text` is not valid UTF-8.
inline bool FromUtf8(std::string_view text, std::u16string* out) { return text::FromUtf8Exact(text, out); }
using text::IsExactText;
// Valid UTF-8 converted; anything else taken byte by byte.
std::u16string U16(std::string_view ascii_or_utf8);
// Upper-case folding over the BMP, as the device compares names.
inline std::u16string FoldName(std::u16string_view text) { return text::Fold(text); }

}  // namespace tlvarc

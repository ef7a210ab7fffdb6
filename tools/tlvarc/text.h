// UTF-16 device text and the host's UTF-8. Device names may hold units that
// are not text (lone surrogates); Utf8 shows them as U+FFFD, and writers that
// must give the exact name back check IsExactText first.
#pragma once

#include <string>
#include <string_view>

namespace tlvarc {

std::string Utf8(std::u16string_view text);
// False when `text` is not valid UTF-8.
bool FromUtf8(std::string_view text, std::u16string* out);
// True when Utf8 and FromUtf8 give the same units back.
bool IsExactText(std::u16string_view text);
std::u16string U16(std::string_view ascii_or_utf8);
// Upper-case folding over the BMP, as the device compares names.
std::u16string FoldName(std::u16string_view text);

}  // namespace tlvarc

// Device names made safe as host file names inside an extraction folder.
// The manifest keeps every exact device name, so the host name only has to
// be harmless: no separators, no "." or "..", no control characters, not too
// long for the host, and never the same as a sibling's.
#pragma once

#include <string>

namespace tlvarc {

std::string SafeHostName(const std::u16string& device_name);
// The n-th alternative when `name` is taken in its folder: "a~2.txt".
std::string AlternativeName(const std::string& name, int n);

}  // namespace tlvarc

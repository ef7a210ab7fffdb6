// Names of the device's error codes, for messages and for `cedev fault`.
#pragma once

#include <string>

namespace cedev::tool {

// "ERROR_ACCESS_DENIED (5)" for a device error code; and back from a name or
// a number (0 when unknown).
std::string ErrorText(unsigned long code);
unsigned long ErrorFromText(const std::string& text);

}  // namespace cedev::tool

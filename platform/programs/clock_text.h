// The clock applet's fields: the date as "YYYY/MM/DD" and the time as
// "HH:MM:SS", and reading back what a person typed there.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace ctlpnl {

std::u16string DateText(const SYSTEMTIME& time);
std::u16string TimeText(const SYSTEMTIME& time);

// The local time the two fields name, or nothing when they do not name a
// real one. The date's parts may be separated by '/', '-' or '.'; the
// seconds may be left out. Years 1980 to 2099, as the device's clock keeps.
std::optional<SYSTEMTIME> ParseDateTime(std::u16string_view date, std::u16string_view time);

}  // namespace ctlpnl

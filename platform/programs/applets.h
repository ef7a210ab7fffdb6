// The control panel's applets that have settings dialogs. Each returns the
// program's exit code: 0 when the dialog was shown and closed, 1 when it
// could not be shown.
#pragma once

#include <windows.h>

namespace ctlpnl {

// "clock": the date and time; OK sets the device clock to what was typed.
int RunClockApplet(HINSTANCE module);
// "owner": the owner's name and company, kept in the registry under
// HKEY_CURRENT_USER\ControlPanel\Owner ("Name" and "Company").
int RunOwnerApplet(HINSTANCE module);

}  // namespace ctlpnl

// A top-level window of a program's own class that shows one text: the
// welcome program's and the help viewer's. The program runs until the window
// is destroyed, whether a person closes it (WM_CLOSE) or another program
// sends it WM_DESTROY, as the auto-restore tool does to the welcome window.
#pragma once

#include <windows.h>

namespace cedev::programs {

// Registers `class_name`, shows the window and runs the message loop; false
// when the window cannot be made. Returns once the window got WM_DESTROY.
bool RunTextWindow(HINSTANCE instance, LPCWSTR class_name, LPCWSTR title, LPCWSTR text);

}  // namespace cedev::programs

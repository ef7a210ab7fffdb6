// The program's help: the device's help viewer opened at the main topic.
// The main window and the dialogs open it on WM_HELP.
#pragma once

#include <windows.h>

// Starts "peghelp.exe"; a viewer that fails to start is not reported.
void OpenHelp();

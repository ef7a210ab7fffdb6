// The main window's menu, accelerators and icon.
#pragma once

#include <windows.h>

// Makes them available to LoadMenuW, LoadAcceleratorsW and LoadImageW for
// the program's module.
void RegisterMainWindowResources(HINSTANCE module);

// spfinish.exe: no window, no arguments, nothing shown.
#include <windows.h>

#include "spfinish.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return FinishServicePack(); }

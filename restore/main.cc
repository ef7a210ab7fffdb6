// Restore.exe: no window of its own; everything it has to say goes into its
// log and its message boxes.
#include <windows.h>

#include "tool_flow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) { return RunRestoreTool(commandLine); }

// What the program sets up once at start, before any window or job: its
// string table, AppTitle, and the engine's links to the program (texts of
// the cancel question, the backup location, the node classes).
#pragma once

#include <windows.h>

void SetUpProgram(HINSTANCE module);

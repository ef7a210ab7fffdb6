// Process-wide state of the main program that the command line and the
// start-up fill and the rest of the program reads.
#pragma once

#include <windows.h>

#define AUTORUN_NONE 0
#define AUTORUN_BACKUP 1
#define AUTORUN_RESTORE 2
#define AUTORUN_REGISTRY_BACKUP 3
#define AUTORUN_REGISTRY_RESTORE 4

extern HINSTANCE ModuleInstance;      // every resource is loaded from it
extern WCHAR AppTitle[2048];          // string 9, caption of every box
extern LONG AutoRunCode;              // 0 interactive, 1..4 automatic command
extern WCHAR AutoRunLocation[MAX_PATH];
extern WCHAR AutoRunPassword[MAX_PATH];

// Loads AppTitle from the string table of ModuleInstance.
void LoadAppTitle();

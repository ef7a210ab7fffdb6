// The main program's string table.
#pragma once

#include <windows.h>

extern const CE_STRINGTABLE_ENTRY kTolvaneStrings[];
extern const size_t kTolvaneStringCount;

// Makes the table available to LoadStringW for the program's module.
void RegisterTolvaneStrings(HINSTANCE module);

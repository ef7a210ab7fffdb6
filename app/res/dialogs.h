// The main program's dialog templates (progress and password dialogs, with
// the password dialogs' landscape twins) and the icon they show.
#pragma once

#include <windows.h>

extern const CE_DIALOG_TEMPLATE kTolvaneDialogs[];
extern const size_t kTolvaneDialogCount;

// Makes the templates and icon 106 available to the program's module.
void RegisterTolvaneDialogs(HINSTANCE module);

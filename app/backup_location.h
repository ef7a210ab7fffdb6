// The one place where the program learns which backup location to use:
// the bare name of a root folder such as "FlashDisk".
#pragma once

#include <windows.h>

// Copies the current location into `location` (MAX_PATH units). In
// automatic mode it is the command line's; otherwise the main window's
// choice. FALSE, buffer untouched, when there is none.
BOOL GetBackupLocation(LPWSTR location);

// The main window supplies its choice (the text of its location box)
// through this hook; without a window there is no interactive location.
typedef BOOL (*WindowLocationSource)(LPWSTR location);
void SetWindowLocationSource(WindowLocationSource source);

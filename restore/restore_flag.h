// "RestoreFlag" under HKEY_LOCAL_MACHINE\Drivers\Velta\UTIL\RESTORE: set after
// a backup for the automatic restoration and after a restore, lost with the
// registry in a full reset. Its presence is what tells the installed copy
// whether to restore.
#pragma once

#include "ce/types.h"

// Whether the value can be read; its type and number are not looked at.
BOOL RestoreFlagPresent();
// Writes the flag as the DWORD 1, creating the key when needed.
BOOL WriteRestoreFlag();
// Deletes the whole key (a flag that could not be written must not half-exist).
void DeleteRestoreKey();

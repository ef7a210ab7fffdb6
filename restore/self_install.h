// Installing the running program as the storage's "Restore.exe", the copy
// the device starts at boot. The previous copy waits as "~Setup.bak" until
// the installation is confirmed, and comes back when it is undone.
#pragma once

#include "ce/types.h"

#include "tool_paths.h"
#include "tool_state.h"

struct Installation {
  WCHAR installed[kToolPathUnits] = {};
  WCHAR spare[kToolPathUnits] = {};
  BOOL hadPrevious = FALSE;    // a "Restore.exe" was there before
  BOOL previousMoved = FALSE;  // and it now waits as the spare
};

// Moves the previous copy aside and copies the own file into its place.
// FALSE when the copy failed; the caller then undoes the installation.
BOOL InstallSelf(const ToolState& tool, Installation* installation);
// Puts the previous copy back. The installed path is deleted only when it
// is not the previous copy itself: when moving that aside failed, the copy
// did not replace it and it stays as it is.
void UndoInstallation(const Installation& installation);
// The installation stands: the spare goes.
void ConfirmInstallation(const Installation& installation);

// Clears the read-only bit of a file that exists.
void ClearReadOnly(LPCWSTR path);

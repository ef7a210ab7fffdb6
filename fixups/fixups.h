// The device work around a restore. Before a data restore the staging
// folder of the Startup folder's files is emptied and removed; after it the
// staged files move into the Startup folder; after any successful restore
// three hidden marker files go into the root, "Tovak" devices get their
// imager driver entries back, and the registry is flushed.
#pragma once

#include "ce/types.h"

// Before the worker of a data restore.
void PreRestoreStep();
// After the worker of a data restore, whatever its outcome.
void PostRestoreStep();
// After a successful restore (data or registry only).
void RestoreSuccessSteps();

// Deletes the files directly in `folder` (not its sub-folders); the Startup
// folder keeps its desktop.ini. A file that cannot be deleted even after
// clearing its read-only attribute is named in a box and ends the clearing
// with FALSE.
BOOL ClearFolder(LPCWSTR folder);
// Copies every file directly in `source` into `destination` (sub-folders
// are passed over). FALSE when a folder is missing or a file did not make it.
BOOL CopyFolderEntries(LPCWSTR source, LPCWSTR destination);
// Copies content, the three file times and the attributes. A destination
// whose content could not be written whole is deleted again.
BOOL CopyFileAndTimes(LPCWSTR source, LPCWSTR destination);
// The imager driver key and the start-up entry that launches ModelSetup.exe;
// stops silently at the first failure.
void WriteImagerDriverEntries();

// The three marker files the success steps leave in the root.
extern const LPCWSTR kRestartMarkerFiles[3];

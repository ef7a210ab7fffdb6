// Where the tool finds its storage and forms the paths on it. The storage is
// the first root folder that is mounted storage (directory and temporary
// attributes) and whose name begins with "FlashDisk"; the installed copy,
// its log and the main program's private copy live in its CE\ARM folder.
#pragma once

#include "ce/types.h"

// Every path the tool forms fits: a storage name of up to 259 units and the
// longest file name the tool puts after it.
constexpr int kToolPathUnits = MAX_PATH + 32;

// Copies the storage folder's name (no backslashes, up to 259 units) into
// `name` (MAX_PATH units); FALSE when the root has no such folder.
BOOL FindStorageFolder(LPWSTR name);

// "\<storage>\CE\ARM"
void FormatArmFolder(LPWSTR path, LPCWSTR storage);
// "\<storage>\CE\ARM\<file>"
void FormatArmPath(LPWSTR path, LPCWSTR storage, LPCWSTR file);
// "\<storage>\<file>"
void FormatStorageRootPath(LPWSTR path, LPCWSTR storage, LPCWSTR file);

// Whether `path` names a file or folder that exists (one search, closed again).
BOOL PathFound(LPCWSTR path);
// Whole texts compared without regard to case (device paths, the command line).
BOOL EqualIgnoringCase(LPCWSTR a, LPCWSTR b);
// Creates the folder and each folder above it; those that exist refuse, which is fine.
void CreateFolderChain(LPCWSTR folder);

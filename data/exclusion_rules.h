// What a data backup leaves out: mounted storage (memory cards, FlashDisk),
// files in ROM (but for two setup files of "Tovak" devices) and a fixed set
// of system files that belong to this very device or are rebuilt by it:
// database volumes, registry hives, input-method dictionaries, logs,
// browser caches, the OS image and the backup archives themselves (those
// of the location the running backup writes to, too).
// These decide the backup only; a restore's mirror pass has its own rule.
#pragma once

#include "ce/types.h"

// One row of the table: the folder's search pattern and the file name that
// is skipped there; a null name skips every file directly in the folder.
struct MExclusionRule {
  LPCWSTR folderPattern;
  LPCWSTR fileName;
};

// The whole table and the ROM allow-list, for the tests and the tools.
const MExclusionRule* ExclusionRules(DWORD* count);
const MExclusionRule* RomAllowList(DWORD* count);

// TRUE when `folderPath` (a full path such as "\Storage Card") names a
// folder of the root that the device reports as mounted storage.
BOOL IsMountedStorage(LPCWSTR folderPath);
// TRUE when the table skips file `name` in the folder searched with
// `folderPattern` ("\Windows\*.*"). Whole strings, ignoring case.
BOOL IsExcludedFile(LPCWSTR folderPattern, LPCWSTR name);
// TRUE when the device reports the platform type "Tovak", exactly.
BOOL IsTovakPlatform();
// Whether a file in ROM is still saved: only the allow-listed setup files,
// and only on "Tovak" devices.
BOOL IsRomFileSaved(LPCWSTR folderPattern, LPCWSTR name);

// TRUE for the data archive files of the running backup's own location
// ("Backup.dat", "Backup.$$$" in its folder "Backup"). On mounted storage the
// walk never meets them; in a folder of the object store (a location such
// as "Temp") it would, and the file being written cannot be read.
BOOL IsOwnArchiveFile(LPCWSTR folderPattern, LPCWSTR name);

// The backup's decision for one enumerated entry of the folder searched
// with `folderPattern`: mounted storage, ROM files, the table and the
// running backup's own archive. `entryPath` is the entry's full path (used
// for folders).
BOOL IsEntrySaved(LPCWSTR folderPattern, LPCWSTR entryPath, LPCWSTR name, DWORD attributes);

// Attribute tests shared with the restore's mirror pass.
inline BOOL IsMountedAttributes(DWORD attributes) {
  const DWORD kMounted = 0x10 /* directory */ | 0x100 /* temporary */;
  return (attributes & kMounted) == kMounted;
}
inline BOOL IsInRom(DWORD attributes) { return (attributes & 0x40) != 0; }

// The folders at the root of the file system that can hold a backup: the
// mount folders of storage cards and FlashDisk. The location box offers
// them; the command line may name one of them (or "Temp").
#pragma once

#include <windows.h>

#include "path_list.h"

// Whether a root entry may be a backup location. Storage cards are mounted
// as folders marked temporary; FlashDisk is a plain folder. `acceptTemp`
// also admits a folder "Temp", which only the command line may name. The
// network folder and "Release" are mounted like cards but never hold one.
BOOL IsLocationFolder(const WIN32_FIND_DATAW& entry, BOOL acceptTemp);

// Calls `visit` with each location folder of the root in enumeration order
// until it returns FALSE; a root that cannot be listed has none.
typedef BOOL (*LocationVisitor)(void* context, LPCWSTR name);
void ForEachLocationFolder(BOOL acceptTemp, LocationVisitor visit, void* context);

// The locations the box offers, in enumeration order; null when there is
// none. The caller deletes the list.
MPathList* CollectBackupLocations();

// Whether `location`, as typed, names a location folder of the root
// (without regard to case; "Temp" accepted).
BOOL IsCommandLineLocation(LPCWSTR location);

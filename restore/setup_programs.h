// The user's setup programs, "\CE\ARM\SetApl1.exe" to "SetApl3.exe" on the
// storage: registered under HKEY_LOCAL_MACHINE\Drivers\Velta\UTIL\FLSETUP
// before the backup, so that the backup carries the registration, and the
// previous registration put back when the backup fails.
#pragma once

#include "ce/types.h"

constexpr int kSetupSlots = 3;
// Units of a slot: 256 bytes.
constexpr int kSetupSlotUnits = 128;

// What one run found and what the key held before; lives for the whole run.
struct SetupPrograms {
  // Paths relative to the storage's root, of the programs that exist, in
  // ascending number from the first slot on.
  WCHAR found[kSetupSlots][kSetupSlotUnits] = {};
  int count = 0;
  // The previous values "1", "2" and "3"; empty when one could not be read.
  WCHAR saved[kSetupSlots][kSetupSlotUnits] = {};
};

// Looks for the programs and, when there are any, saves the key's previous
// values and writes values "1" up to the count. FALSE when the key cannot be
// opened or a value cannot be written.
BOOL RegisterSetupPrograms(LPCWSTR storage, SetupPrograms* programs);

// After a failed backup: the key's values "1" to "3" are replaced by the
// saved ones. Nothing to do when the run found no program.
BOOL PutSavedSetupEntriesBack(const SetupPrograms& programs);

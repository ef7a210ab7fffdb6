#include "setup_programs.h"

#include <windows.h>

#include "tool_paths.h"
#include "tool_registry.h"

namespace {

const WCHAR kSetupKey[] = TEXT("Drivers\\Velta\\UTIL\\FLSETUP");

// The value named after a slot number ("1" to "3").
struct ValueName {
  explicit ValueName(int number) { wsprintfW(text, TEXT("%d"), number); }
  WCHAR text[12];
};

// A saved value fills its slot exactly when it was stored without a
// terminator; its length must not run past the slot.
DWORD SlotLength(const WCHAR* slot) {
  DWORD length = 0;
  while (length < kSetupSlotUnits && slot[length] != 0) ++length;
  return length;
}

BOOL SetPathValue(HKEY key, int number, const WCHAR* path) {
  DWORD bytes = SlotLength(path) * sizeof(WCHAR);
  return RegSetValueExW(key, ValueName(number).text, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), bytes) ==
         ERROR_SUCCESS;
}

void FindSetupPrograms(LPCWSTR storage, SetupPrograms* programs) {
  programs->count = 0;
  for (int number = 1; number <= kSetupSlots; ++number) {
    WCHAR* slot = programs->found[programs->count];
    wsprintfW(slot, TEXT("\\CE\\ARM\\SetApl%d.exe"), number);
    WCHAR full[kToolPathUnits];
    wsprintfW(full, TEXT("\\%s%s"), storage, slot);
    if (PathFound(full)) ++programs->count;
  }
}

// A value that does not fit its slot, or cannot be read at all, is deleted:
// it could not be put back anyway.
void SaveEntries(HKEY key, SetupPrograms* programs) {
  for (int number = 1; number <= kSetupSlots; ++number) {
    WCHAR* slot = programs->saved[number - 1];
    DWORD bytes = kSetupSlotUnits * sizeof(WCHAR);
    DWORD type = REG_NONE;
    ValueName name(number);
    if (RegQueryValueExW(key, name.text, nullptr, &type, reinterpret_cast<BYTE*>(slot), &bytes) == ERROR_SUCCESS) {
      continue;
    }
    for (int i = 0; i < kSetupSlotUnits; ++i) slot[i] = 0;
    RegDeleteValueW(key, name.text);
  }
}

BOOL WriteFoundPrograms(HKEY key, const SetupPrograms& programs) {
  for (int number = 1; number <= programs.count; ++number) {
    if (!SetPathValue(key, number, programs.found[number - 1])) return FALSE;
  }
  return TRUE;
}

BOOL WriteSavedEntries(HKEY key, const SetupPrograms& programs) {
  for (int number = 1; number <= kSetupSlots; ++number) RegDeleteValueW(key, ValueName(number).text);
  for (int number = 1; number <= kSetupSlots; ++number) {
    const WCHAR* slot = programs.saved[number - 1];
    if (slot[0] != 0 && !SetPathValue(key, number, slot)) return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL RegisterSetupPrograms(LPCWSTR storage, SetupPrograms* programs) {
  FindSetupPrograms(storage, programs);
  if (programs->count == 0) return TRUE;
  HKEY key = nullptr;
  if (!OpenOrCreateMachineKey(kSetupKey, &key)) return FALSE;
  SaveEntries(key, programs);
  BOOL written = WriteFoundPrograms(key, *programs);
  RegCloseKey(key);
  return written;
}

BOOL PutSavedSetupEntriesBack(const SetupPrograms& programs) {
  if (programs.count == 0) return TRUE;
  HKEY key = nullptr;
  if (!OpenOrCreateMachineKey(kSetupKey, &key)) return FALSE;
  BOOL written = WriteSavedEntries(key, programs);
  RegCloseKey(key);
  return written;
}

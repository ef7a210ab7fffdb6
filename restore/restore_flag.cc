#include "restore_flag.h"

#include <windows.h>

#include "tool_registry.h"

namespace {

const WCHAR kRestoreKey[] = TEXT("Drivers\\Velta\\UTIL\\RESTORE");
const WCHAR kRestoreFlag[] = TEXT("RestoreFlag");
constexpr DWORD kFlagSet = 1;

}  // namespace

BOOL RestoreFlagPresent() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRestoreKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return FALSE;
  BYTE value[4];
  DWORD bytes = sizeof value;
  DWORD type = REG_NONE;
  LONG result = RegQueryValueExW(key, kRestoreFlag, nullptr, &type, value, &bytes);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

BOOL WriteRestoreFlag() {
  HKEY key = nullptr;
  if (!OpenOrCreateMachineKey(kRestoreKey, &key)) return FALSE;
  const BYTE value[4] = {BYTE(kFlagSet), BYTE(kFlagSet >> 8), BYTE(kFlagSet >> 16), BYTE(kFlagSet >> 24)};
  LONG result = RegSetValueExW(key, kRestoreFlag, 0, REG_DWORD, value, sizeof value);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void DeleteRestoreKey() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRestoreKey); }

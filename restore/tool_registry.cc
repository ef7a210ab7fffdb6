#include "tool_registry.h"

#include <windows.h>

BOOL OpenOrCreateMachineKey(LPCWSTR subKey, HKEY* key) {
  WCHAR noClass[] = TEXT("");
  DWORD disposition = 0;
  *key = nullptr;
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, noClass, 0, KEY_ALL_ACCESS, nullptr, key, &disposition) ==
         ERROR_SUCCESS;
}

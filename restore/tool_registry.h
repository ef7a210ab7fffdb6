// The tool's keys below HKEY_LOCAL_MACHINE are opened, or created when they
// are missing, the one way the device's setup keys expect.
#pragma once

#include "ce/types.h"

// RegCreateKeyExW with an empty class, options 0 and KEY_ALL_ACCESS.
BOOL OpenOrCreateMachineKey(LPCWSTR subKey, HKEY* key);

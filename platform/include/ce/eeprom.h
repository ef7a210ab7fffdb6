// The device's EEPROM library, "eeprom.dll": present only on devices with an
// EEPROM and loaded at run time (LoadLibraryW, GetProcAddressW "E2pRead").
#pragma once

#include "ce/types.h"

// Reads `count` bytes from EEPROM address `address` into `buffer`. Returns 0
// on success; non-zero when the range lies outside the EEPROM or the buffer
// is NULL.
DWORD WINAPI E2pRead(DWORD address, DWORD flags, BYTE* buffer, DWORD count);
typedef DWORD(WINAPI* PFN_E2PREAD)(DWORD address, DWORD flags, BYTE* buffer, DWORD count);

// The device's system library, Halmix.dll: buzzer and soft reset.
#pragma once

#include "ce/types.h"

// Sounds the buzzer with the given pattern (recorded in the journal).
BOOL SysPlayBuzzer(DWORD dwPattern, DWORD dwParam1, DWORD dwParam2);
// Soft reset: every running device program ends, the caller included; the
// object store stays; then the device boots its autostart list.
[[noreturn]] void SysSoftReset();

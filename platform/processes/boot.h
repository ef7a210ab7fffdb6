// Boot: what the device starts after a reset. After a full reset the welcome
// program comes first; then each program of the autostart list. An empty
// autostart list means the default: each storage volume's
// CE\ARM\Restore.exe, when present.
#pragma once

#include <string>
#include <vector>

#include "device_folder.h"

namespace cedev {

// The programs a boot would start, in order, as device paths. Entries whose
// file is missing are left out ("when present").
std::vector<std::u16string> BootPrograms(const DeviceSettings& settings, bool after_full_reset);

// The autostart list as configured, or the default one for these volumes.
std::vector<std::u16string> AutostartList(const DeviceSettings& settings);

// Starts the boot programs of the current device without waiting for them.
// False (with the last error of the first failure) when one could not be
// started; the others are started all the same.
bool BootDevice(bool after_full_reset);

}  // namespace cedev

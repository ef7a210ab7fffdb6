// The current state of an emulated device, fingerprinted as an archive of it
// would be: the file system from "\", the four registry roots and the
// object-store databases, less what a backup never carries and a restore
// never deletes (mounted storage, files in ROM, "CalibrationData" values and
// HKEY_LOCAL_MACHINE\Platform). Files a backup leaves out (the device's
// own system files) are marked: a restore's mirror pass deletes them unless
// the system holds them open. Files in use and read-only files are marked
// too: the mirror pass's plain delete leaves them.
#pragma once

#include <string>

#include "fingerprint.h"
#include "status.h"

namespace tlvarc {

// Which parts to walk: those the archive being compared holds (a registry
// archive is compared with the device's registry only).
struct DeviceParts {
  bool files = true;
  bool registry = true;
  bool databases = true;
};

// Lives in the tool's small device library (tlvarc_device), the only part
// of the tool that links the emulated device.
Status WalkDevice(const std::string& device_dir, const DeviceParts& parts, const EntrySink& sink);

// `compare --device` reaches a device only through the walker the program
// installs (main does, with WalkDevice); without one it says so. This keeps
// the archive commands free of the device.
using DeviceWalker = Status (*)(const std::string& device_dir, const DeviceParts& parts, const EntrySink& sink);
void SetDeviceWalker(DeviceWalker walker);

}  // namespace tlvarc

// The current state of an emulated device, fingerprinted as an archive of it
// would be: the file system from "\", the four registry roots and the
// object-store databases, less what a backup never carries and a restore
// never deletes (mounted storage, files in ROM, "CalibrationData" values and
// HKEY_LOCAL_MACHINE\Platform).
#pragma once

#include <string>

#include "fingerprint.h"
#include "status.h"

namespace tlvarc {

Status WalkDevice(const std::string& device_dir, const EntrySink& sink);

}  // namespace tlvarc

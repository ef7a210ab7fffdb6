// Files the device's own system keeps open with no sharing while it runs:
// its database volumes, registry hives and loaded input-method files. They
// are listed by device path in device.json ("held_files"), where a user can
// see and change the list. No program can open, delete, move or replace
// them (ERROR_SHARING_VIOLATION), as on a device; listing them and their
// attributes stays possible. A full reset works below the file API and puts
// their factory versions back.
#pragma once

#include "ce/types.h"
#include "device_folder.h"
#include "device_path.h"

namespace cedev {

// ERROR_SHARING_VIOLATION when `where` is an existing file the system
// holds open, else 0.
DWORD CheckNotHeldBySystem(Device& device, const HostPath& where);

// The form a listed path is compared in: "\" separators, one leading "\",
// no trailing one, folded case.
std::u16string HeldPathKey(std::u16string_view device_path);

}  // namespace cedev

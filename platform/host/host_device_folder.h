// Where a device program finds its device when nobody says: the folder
// named by CEDEV_DEVICE, else ./device. The device's own programs and its
// tools follow this one rule.
#pragma once

#include <filesystem>

namespace cedev::host {

std::filesystem::path DefaultDeviceFolder();

}  // namespace cedev::host

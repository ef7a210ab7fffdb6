#include "host_device_folder.h"

#include <cstdlib>

namespace cedev::host {

std::filesystem::path DefaultDeviceFolder() {
  const char* env = std::getenv("CEDEV_DEVICE");
  return env && *env ? std::filesystem::path(env) : std::filesystem::path("device");
}

}  // namespace cedev::host

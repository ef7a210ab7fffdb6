#include "scratch_device.h"

#include <cstdlib>
#include <stdexcept>

#include "device_programs.h"

namespace cedev {

DeviceSettings ScratchDevice::DefaultSettings() {
  DeviceSettings s;
  s.volumes = {{"FlashDisk", 64ull << 20}, {"Storage Card", 0}};
  s.eeprom.assign(256, 0);
  return s;
}

ScratchDevice::ScratchDevice(const DeviceSettings& settings) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/cedev-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  std::string error;
  if (!Device::Create(dir_, settings, &error)) throw std::runtime_error(error);
  Device::Use(dir_);
}

ScratchDevice::~ScratchDevice() {
  // Programs the test started (or a boot started) end with their device,
  // rather than wait for ever on windows nobody will see.
  EndAllDevicePrograms();
  Device::Use({});
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

DeviceSettings FastDevice(DeviceSettings settings) {
  settings.time_scale = 1000;
  return settings;
}

}  // namespace cedev

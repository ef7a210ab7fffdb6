// A throw-away device in a temporary folder for tests: created empty (store,
// two volumes, schema) and made the current device of the process; removed
// with everything in it when the object goes, after the device programs
// still running on it are ended.
#pragma once

#include <filesystem>
#include <string>

#include "device_folder.h"

namespace cedev {

class ScratchDevice {
 public:
  explicit ScratchDevice(const DeviceSettings& settings = DefaultSettings());
  ~ScratchDevice();
  ScratchDevice(const ScratchDevice&) = delete;
  ScratchDevice& operator=(const ScratchDevice&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  Device& device() { return *Device::Current(); }

  // FlashDisk with a quota of 64 MiB and Storage Card without one.
  static DeviceSettings DefaultSettings();

 private:
  std::filesystem::path dir_;
};

// `settings` with the time sped up a thousandfold, so the jobs' one-second
// start delay and waits pass at once.
DeviceSettings FastDevice(DeviceSettings settings = ScratchDevice::DefaultSettings());

}  // namespace cedev

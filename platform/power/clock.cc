#include "clock.h"

#include <cmath>

#include "device_folder.h"
#include "host_time.h"

namespace cedev {
namespace {

std::shared_ptr<const DeviceSettings> CurrentSettings() {
  Device* dev = Device::Current();
  return dev ? dev->SettingsSnapshot() : std::make_shared<const DeviceSettings>();
}

using host::HostUtcNow;

}  // namespace

int64_t DeviceClockOffset() { return CurrentSettings()->clock_offset_ms * kFileTimeTicksPerMs; }

int64_t DeviceUtcNow() { return HostUtcNow() + CurrentSettings()->clock_offset_ms * kFileTimeTicksPerMs; }

int DeviceTimeZoneBias() { return CurrentSettings()->timezone_bias_minutes; }

bool SetDeviceUtc(int64_t utc) {
  Device* dev = Device::Current();
  if (!dev) return false;
  int64_t offset_ms = (utc - HostUtcNow()) / kFileTimeTicksPerMs;
  return dev->UpdateSettings([&](DeviceSettings& s) { s.clock_offset_ms = offset_ms; });
}

uint64_t DeviceTickMs() {
  auto since_boot = std::chrono::steady_clock::now().time_since_epoch();
  double ms = std::chrono::duration<double, std::milli>(since_boot).count();
  return static_cast<uint64_t>(ms * CurrentSettings()->time_scale);
}

std::chrono::milliseconds RealDuration(DWORD device_ms) {
  if (device_ms == INFINITE) return std::chrono::milliseconds::max();
  double scale = CurrentSettings()->time_scale;
  return std::chrono::milliseconds(static_cast<int64_t>(std::ceil(device_ms / scale)));
}

}  // namespace cedev

#include "clock.h"

#include <time.h>

#include <cmath>

#include "device_folder.h"

namespace cedev {
namespace {

std::shared_ptr<const DeviceSettings> CurrentSettings() {
  Device* dev = Device::Current();
  return dev ? dev->SettingsSnapshot() : std::make_shared<const DeviceSettings>();
}

int64_t HostUtcNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return kFileTimeUnixEpoch + static_cast<int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

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
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  double ms = static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
  return static_cast<uint64_t>(ms * CurrentSettings()->time_scale);
}

std::chrono::milliseconds RealDuration(DWORD device_ms) {
  if (device_ms == INFINITE) return std::chrono::milliseconds::max();
  double scale = CurrentSettings()->time_scale;
  return std::chrono::milliseconds(static_cast<int64_t>(std::ceil(device_ms / scale)));
}

}  // namespace cedev

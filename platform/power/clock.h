// The device's clocks, in one place: wall time (host clock plus the
// configured offset), the local-time bias, the tick count and the time
// scale that tests use to shorten every Sleep, wait and timer.
#pragma once

#include <chrono>
#include <cstdint>

#include "ce/types.h"

namespace cedev {

constexpr int64_t kFileTimeTicksPerMs = 10000;

// Device UTC now, as a FILETIME count.
int64_t DeviceUtcNow();
// What the device clock is ahead of the host's, in FILETIME units.
int64_t DeviceClockOffset();
// Minutes to add to local time to get UTC (negative east of Greenwich).
int DeviceTimeZoneBias();
// Makes the device's UTC clock read `utc` now, by moving the offset.
bool SetDeviceUtc(int64_t utc);

// Milliseconds since the host booted, sped up by the time scale, so programs
// that measure a wait with GetTickCount see the time they asked for pass.
uint64_t DeviceTickMs();
// A device period in real time: divided by the time scale (INFINITE stays).
std::chrono::milliseconds RealDuration(DWORD device_ms);

inline int64_t FileTimeValue(const FILETIME& ft) {
  return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}
inline FILETIME ToFileTime(int64_t value) {
  auto v = static_cast<uint64_t>(value);
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

}  // namespace cedev

// Host times in the device's unit: FILETIME counts (100 ns since
// 1601-01-01 UTC). The one place of the device that turns host times into
// FILETIME counts.
#pragma once

#include <cstdint>

#include "file_time.h"

namespace cedev::host {

// 100 ns intervals between 1601-01-01 and 1970-01-01 (the archive format's
// own constants: one epoch for archives and the device).
constexpr int64_t kFileTimeUnixEpoch = int64_t(archive::kUnixEpochTicks);
constexpr int64_t kFileTimeTicksPerSecond = int64_t(archive::kTicksPerSecond);

// A host time (seconds and nanoseconds since 1970) as a FILETIME count.
constexpr int64_t FileTimeFromHost(int64_t seconds, int64_t nanoseconds) {
  return kFileTimeUnixEpoch + seconds * kFileTimeTicksPerSecond + nanoseconds / 100;
}
// The host's wall clock now, as a FILETIME count.
int64_t HostUtcNow();
// A cheap monotonic clock in nanoseconds, a few milliseconds coarse: for
// rate limits that would otherwise cost a precise clock read per call.
int64_t CoarseMonotonicNs();

}  // namespace cedev::host

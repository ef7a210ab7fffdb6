// File times as archives and the device keep them: 100-nanosecond ticks
// since 1601-01-01 (UTC), stored as two 32-bit halves. The one place that
// knows how far 1601 lies from the host's 1970.
#pragma once

#include <cstdint>

namespace archive {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr uint64_t kUnixEpochTicks = uint64_t(kUnixEpochSeconds) * kTicksPerSecond;

struct FileTime {
  uint32_t low = 0;
  uint32_t high = 0;

  uint64_t Ticks() const { return uint64_t(high) << 32 | low; }
  static FileTime FromTicks(uint64_t ticks) { return FileTime{uint32_t(ticks), uint32_t(ticks >> 32)}; }
  bool operator==(const FileTime&) const = default;
};

// Seconds and nanoseconds since 1970 (negative before it) and back; the
// nanoseconds are those of the tick, 0 to 999,999,900.
struct UnixTime {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
};

inline UnixTime ToUnixTime(uint64_t ticks) {
  return UnixTime{int64_t(ticks / kTicksPerSecond) - kUnixEpochSeconds, int64_t(ticks % kTicksPerSecond) * 100};
}

// Times before 1601 have no ticks: 0.
inline uint64_t FromUnixTime(int64_t seconds, int64_t nanoseconds) {
  int64_t since1601 = seconds + kUnixEpochSeconds;
  if (since1601 < 0) return 0;
  return uint64_t(since1601) * kTicksPerSecond + uint64_t(nanoseconds / 100);
}

}  // namespace archive

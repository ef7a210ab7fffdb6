// A small deterministic generator for the sample image. The standard
// distributions differ between library versions; this one gives the same
// numbers everywhere, so two devices made from the sample are equal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_time.h"

namespace cedev {

class SampleRandom {
 public:
  explicit SampleRandom(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}

  uint64_t Next() {
    // xorshift64*
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  // Uniform enough in [0, bound) for sample content; bound > 0.
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
  template <class T>
  const T& Pick(const std::vector<T>& items) { return items[Below(static_cast<uint32_t>(items.size()))]; }

 private:
  uint64_t state_;
};

// FILETIME ticks (100 ns since 1601) of 2026-04-01 00:00 UTC, the day the
// sample device left the factory; content times count back from it.
inline constexpr uint64_t kSampleEpochTicks = 1775001600ull * archive::kTicksPerSecond + archive::kUnixEpochTicks;
inline constexpr uint64_t kTicksPerMinute = 60ull * archive::kTicksPerSecond;
inline constexpr uint64_t kTicksPerDay = 24ull * 60ull * kTicksPerMinute;

}  // namespace cedev

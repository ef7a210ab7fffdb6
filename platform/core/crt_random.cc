// The device's C runtime generator (see ce/stdlib.h): the linear
// congruential generator of the device's runtime, seed 1 at process start.
#include "ce/stdlib.h"

#include <atomic>
#include <cstdint>

namespace {

std::atomic<uint32_t> g_seed{1};

uint32_t Step(uint32_t seed) { return seed * 214013u + 2531011u; }

}  // namespace

extern "C" int rand(void) noexcept {
  uint32_t seed = g_seed.load(std::memory_order_relaxed);
  while (!g_seed.compare_exchange_weak(seed, Step(seed), std::memory_order_relaxed)) {
  }
  return int((Step(seed) >> 16) & CE_RAND_MAX);
}

extern "C" void srand(unsigned int seed) noexcept { g_seed.store(seed, std::memory_order_relaxed); }

#include "shared_counters.h"

#include <atomic>
#include <filesystem>

#include "host_shared_map.h"

namespace cedev {
namespace {

constexpr size_t kCounterFileSize = 4096;
constexpr int kCounterSlots = 8;

std::atomic<uint64_t> g_unmapped{1ull << 62};

}  // namespace

SharedCounters::SharedCounters(const std::string& run_dir) {
  std::error_code ec;
  std::filesystem::create_directories(run_dir, ec);
  slots_ = static_cast<uint64_t*>(host::MapSharedFile(run_dir + "/counters", kCounterFileSize));
}

uint64_t SharedCounters::Read(SharedCounter counter) {
  if (!slots_) return UntrustedCounterValue();
  static_assert(static_cast<int>(SharedCounter::kFileMeta) < kCounterSlots);
  return std::atomic_ref<uint64_t>(slots_[static_cast<int>(counter)]).load(std::memory_order_acquire);
}

uint64_t SharedCounters::Bump(SharedCounter counter) {
  if (!slots_) return UntrustedCounterValue();
  return std::atomic_ref<uint64_t>(slots_[static_cast<int>(counter)]).fetch_add(1, std::memory_order_acq_rel);
}

uint64_t UntrustedCounterValue() { return g_unmapped++; }

}  // namespace cedev

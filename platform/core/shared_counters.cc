#include "shared_counters.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>

#include "device_folder.h"

namespace cedev {
namespace {

constexpr size_t kCounterFileSize = 4096;
constexpr int kCounterSlots = 8;

// Maps DIR/run/counters; the mapping lives as long as the process.
uint64_t* MapCounters(const Device& device) {
  std::error_code ec;
  std::filesystem::create_directories(device.RunDir(), ec);
  int fd = ::open((device.RunDir() / "counters").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  struct stat st {};
  bool sized = ::fstat(fd, &st) == 0 &&
               (st.st_size >= static_cast<off_t>(kCounterFileSize) || ::ftruncate(fd, kCounterFileSize) == 0);
  void* map = sized ? ::mmap(nullptr, kCounterFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
  ::close(fd);
  return map == MAP_FAILED ? nullptr : static_cast<uint64_t*>(map);
}

uint64_t* CountersOf(Device* device) {
  static std::mutex mutex;
  static auto* maps = new std::map<const Device*, uint64_t*>;  // devices are never freed either
  std::lock_guard lock(mutex);
  auto it = maps->find(device);
  if (it == maps->end()) it = maps->emplace(device, MapCounters(*device)).first;
  return it->second;
}

std::atomic<uint64_t> g_unmapped{1ull << 62};

}  // namespace

uint64_t ReadSharedCounter(SharedCounter counter) {
  Device* device = Device::Current();
  uint64_t* slots = device ? CountersOf(device) : nullptr;
  if (!slots) return g_unmapped++;
  static_assert(static_cast<int>(SharedCounter::kFileMeta) < kCounterSlots);
  return std::atomic_ref<uint64_t>(slots[static_cast<int>(counter)]).load(std::memory_order_acquire);
}

uint64_t BumpSharedCounter(SharedCounter counter) {
  Device* device = Device::Current();
  uint64_t* slots = device ? CountersOf(device) : nullptr;
  if (!slots) return g_unmapped++;
  return std::atomic_ref<uint64_t>(slots[static_cast<int>(counter)]).fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace cedev

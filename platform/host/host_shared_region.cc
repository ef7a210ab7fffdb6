#include "host_shared_region.h"

#include <atomic>
#include <cstring>

#include "host_locks.h"
#include "host_shared_map.h"

namespace cedev::host {

std::unique_ptr<SharedRegion> SharedRegion::Open(const std::string& path, size_t size, uint64_t magic,
                                                 const std::function<bool(void*)>& set_up) {
  if (size < sizeof(uint64_t)) return nullptr;
  // The first programs to map the file must not both set it up: that one
  // step runs under the file's lock.
  LockFileGuard lock(path);
  if (!lock.Held()) return nullptr;
  void* map = MapSharedFile(path, size);
  if (!map) return nullptr;
  std::atomic_ref<uint64_t> ready(*static_cast<uint64_t*>(map));
  if (ready.load(std::memory_order_acquire) != magic) {
    std::memset(map, 0, size);
    if (!set_up(map)) {
      UnmapSharedFile(map, size);
      return nullptr;
    }
    ready.store(magic, std::memory_order_release);
  }
  return std::unique_ptr<SharedRegion>(new SharedRegion(map, size));
}

SharedRegion::~SharedRegion() { UnmapSharedFile(data_, size_); }

}  // namespace cedev::host

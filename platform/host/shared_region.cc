#include "shared_region.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace cedev {
namespace {

// Holds flock on a descriptor for as long as it lives.
class FileLock {
 public:
  explicit FileLock(int fd) : fd_(fd) { ::flock(fd_, LOCK_EX); }
  ~FileLock() { ::flock(fd_, LOCK_UN); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

void* MapLocked(int fd, size_t size, uint64_t magic, const std::function<bool(void*)>& set_up) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return nullptr;
  if (st.st_size < static_cast<off_t>(size) && ::ftruncate(fd, static_cast<off_t>(size)) != 0) return nullptr;
  void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return nullptr;
  std::atomic_ref<uint64_t> ready(*static_cast<uint64_t*>(map));
  if (ready.load(std::memory_order_acquire) == magic) return map;
  std::memset(map, 0, size);
  if (!set_up(map)) {
    ::munmap(map, size);
    return nullptr;
  }
  ready.store(magic, std::memory_order_release);
  return map;
}

}  // namespace

std::unique_ptr<SharedRegion> SharedRegion::Open(const std::string& path, size_t size, uint64_t magic,
                                                 const std::function<bool(void*)>& set_up) {
  if (size < sizeof(uint64_t)) return nullptr;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  void* map;
  {
    FileLock lock(fd);
    map = MapLocked(fd, size, magic, set_up);
  }
  ::close(fd);
  return map ? std::unique_ptr<SharedRegion>(new SharedRegion(map, size)) : nullptr;
}

SharedRegion::~SharedRegion() { ::munmap(data_, size_); }

}  // namespace cedev

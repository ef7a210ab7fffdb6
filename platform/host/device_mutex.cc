#include "device_mutex.h"

#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "host_locks.h"

namespace cedev {

struct DeviceMutex::Shared {
  uint64_t ready;  // kReady once the mutex below is set up
  pthread_mutex_t mutex;
};

namespace {

constexpr size_t kFileSize = 4096;
constexpr uint64_t kReady = 0x544C564D55544558ull;  // "TLVMUTEX"

bool SetUp(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutex_init(mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  return ok;
}

}  // namespace

std::unique_ptr<DeviceMutex> DeviceMutex::Open(const std::string& path) {
  static_assert(sizeof(Shared) <= kFileSize);
  host::LockFile file;
  if (file.Open(path) != 0) return nullptr;
  // The first programs to open the file must not both set the mutex up:
  // that one step runs under the file's lock.
  file.Lock(true);
  int fd = file.File().Get();
  struct stat st {};
  bool sized = ::fstat(fd, &st) == 0 &&
               (st.st_size >= static_cast<off_t>(kFileSize) || ::ftruncate(fd, kFileSize) == 0);
  void* map = sized ? ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
  Shared* shared = map == MAP_FAILED ? nullptr : static_cast<Shared*>(map);
  if (shared) {
    std::atomic_ref<uint64_t> ready(shared->ready);
    if (ready.load(std::memory_order_acquire) != kReady) {
      if (SetUp(&shared->mutex)) {
        ready.store(kReady, std::memory_order_release);
      } else {
        ::munmap(map, kFileSize);
        shared = nullptr;
      }
    }
  }
  file.Unlock();
  return shared ? std::unique_ptr<DeviceMutex>(new DeviceMutex(shared)) : nullptr;
}

DeviceMutex::~DeviceMutex() { ::munmap(shared_, kFileSize); }

bool DeviceMutex::Lock() {
  int rc;
  do {
    rc = pthread_mutex_lock(&shared_->mutex);
  } while (rc == EINTR);
  // The holder died: what it guarded lives in its descriptors, which died
  // with it, so there is nothing to repair.
  if (rc == EOWNERDEAD) rc = pthread_mutex_consistent(&shared_->mutex);
  return rc == 0;
}

void DeviceMutex::Unlock() { pthread_mutex_unlock(&shared_->mutex); }

}  // namespace cedev

#include "share_lock.h"

#include <map>
#include <mutex>

#include "ce/file.h"
#include "device_mutex.h"
#include "host_files.h"
#include "host_locks.h"
#include "last_error.h"

namespace cedev {
namespace {

// Far past any offset a device file can reach, still a valid host offset.
constexpr uint64_t kMarkerBase = 0x7FFFFFFF00000000ULL;
// The order keeps what the usual opens test, and what they take, in one
// run each, so each costs one lock call: a reader that shares only reading
// tests denies-read and has-write and takes has-read and denies-write; a
// writer that shares reading tests denies-write and has-write and takes
// has-write and denies-read; one that shares writing tests has-read and
// denies-write.
enum Marker : unsigned { kHasRead = 0, kDeniesWrite = 1, kHasWrite = 2, kDeniesRead = 3, kMarkers = 4 };
using MarkerSet = unsigned;  // bit m stands for Marker m

constexpr MarkerSet Bit(Marker m) { return MarkerSet{1} << m; }

// Calls `run(first, count)` for each run of adjacent markers in `set`.
template <class F>
bool ForEachRun(MarkerSet set, F&& run) {
  for (unsigned m = 0; m < kMarkers;) {
    if (!(set & (1u << m))) {
      ++m;
      continue;
    }
    unsigned end = m;
    while (end < kMarkers && (set & (1u << end))) ++end;
    if (!run(m, end - m)) return false;
    m = end;
  }
  return true;
}

// Whether another open file description holds a lock on any marker of
// `set`. Returns 0 or the host's error number.
int AnyMarkerTaken(const host::Fd& fd, MarkerSet set, bool* taken) {
  *taken = false;
  int error = 0;
  ForEachRun(set, [&](unsigned first, unsigned count) {
    error = host::RangeLockedByOthers(fd, kMarkerBase + first, count, taken);
    return !error && !*taken;
  });
  return error;
}

int TakeMarkers(const host::Fd& fd, MarkerSet set) {
  int error = 0;
  ForEachRun(set, [&](unsigned first, unsigned count) {
    error = host::ShareRange(fd, kMarkerBase + first, count);
    return !error;
  });
  return error;
}

// The device-wide lock that makes test-and-take one step: the device's
// shared mutex in run/share.lock. Where that file cannot be mapped, flock on
// it serves instead, with an in-process mutex besides (flock belongs to the
// open file description, which our threads share).
class DeviceShareLock {
 public:
  explicit DeviceShareLock(const std::string& run_dir) {
    Lock& lock = LockOf(run_dir);
    if (lock.mutex && lock.mutex->Lock()) {
      mutex_ = lock.mutex.get();
      return;
    }
    fallback_ = std::unique_lock<std::mutex>(FallbackMutex());
    if (lock.file.IsOpen() && lock.file.Lock(true) == 0) file_ = &lock.file;
  }
  ~DeviceShareLock() {
    if (mutex_) mutex_->Unlock();
    if (file_) file_->Unlock();
  }
  DeviceShareLock(const DeviceShareLock&) = delete;
  DeviceShareLock& operator=(const DeviceShareLock&) = delete;

 private:
  // What one device folder offers, made once and kept for the life of the process.
  struct Lock {
    std::unique_ptr<DeviceMutex> mutex;
    host::LockFile file;
  };
  static Lock& LockOf(const std::string& run_dir) {
    static std::mutex* guard = new std::mutex;
    static auto* locks = new std::map<std::string, Lock>;
    std::lock_guard hold(*guard);
    auto it = locks->find(run_dir);
    if (it != locks->end()) return it->second;
    host::MakeFolder(run_dir);
    std::string path = run_dir + "/share.lock";
    Lock& lock = (*locks)[run_dir];
    lock.mutex = DeviceMutex::Open(path);
    lock.file.Open(path);  // for the fallback
    return lock;
  }
  static std::mutex& FallbackMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
  }

  DeviceMutex* mutex_ = nullptr;
  std::unique_lock<std::mutex> fallback_;  // owns nothing unless the lock file serves
  host::LockFile* file_ = nullptr;
};

}  // namespace

DWORD AcquireShare(const std::string& run_dir, const host::Fd& fd, DWORD access, DWORD share) {
  bool reads = access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE);
  bool writes = access & (GENERIC_WRITE | GENERIC_ALL);
  bool denies_read = !(share & FILE_SHARE_READ);
  bool denies_write = !(share & FILE_SHARE_WRITE);
  // What this handle does must not be denied by another, and what it denies
  // must not be done by another.
  MarkerSet conflicts = (reads ? Bit(kDeniesRead) : 0) | (writes ? Bit(kDeniesWrite) : 0) |
                        (denies_read ? Bit(kHasRead) : 0) | (denies_write ? Bit(kHasWrite) : 0);
  MarkerSet own = (reads ? Bit(kHasRead) : 0) | (writes ? Bit(kHasWrite) : 0) |
                  (denies_read ? Bit(kDeniesRead) : 0) | (denies_write ? Bit(kDeniesWrite) : 0);
  DeviceShareLock lock(run_dir);
  bool taken = false;
  if (int error = AnyMarkerTaken(fd, conflicts, &taken)) return Win32FromErrno(error);
  if (taken) return ERROR_SHARING_VIOLATION;
  if (int error = TakeMarkers(fd, own)) return Win32FromErrno(error);
  return 0;
}

DWORD CheckNotInUse(const std::string& run_dir, const host::Fd& fd) {
  DeviceShareLock lock(run_dir);
  bool taken = false;
  if (int error = AnyMarkerTaken(fd, Bit(kHasRead) | Bit(kHasWrite), &taken)) return Win32FromErrno(error);
  return taken ? ERROR_SHARING_VIOLATION : 0;
}

}  // namespace cedev

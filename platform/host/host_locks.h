// Locks the host keeps between processes, in one place: lock files (a lock
// on a whole file, held by one open file) and byte-range locks of one open
// file description. The host drops both when their holder closes the file
// or dies, so no device program can leave the device locked.
#pragma once

#include <cstdint>
#include <string>

#include "host_fd.h"

namespace cedev::host {

class LockFile {
 public:
  // Opens the lock file, creating it when missing; 0 or the error number.
  int Open(const std::string& path);
  // Opens a file that must exist already (a file that also carries data).
  int OpenExisting(const std::string& path);
  bool IsOpen() const { return fd_.Valid(); }
  // Waits for the lock.
  int Lock(bool exclusive);
  // Takes the lock only when nobody holds a conflicting one: 0, EWOULDBLOCK
  // when somebody does, or another error number.
  int TryLock(bool exclusive);
  void Unlock();
  // The open file itself, for a lock file that carries data.
  const Fd& File() const { return fd_; }

 private:
  Fd fd_;
};

// Holds a lock file exclusively for the life of the object, waiting for it.
class LockFileGuard {
 public:
  explicit LockFileGuard(const std::string& path) {
    if (file_.Open(path) == 0) held_ = file_.Lock(true) == 0;
  }
  bool Held() const { return held_; }

 private:
  LockFile file_;
  bool held_ = false;
};

// Byte-range locks that belong to an open file description: every other
// description of the same file (another handle, another program) sees them.
// Whether another description holds any lock on [offset, offset + length).
int RangeLockedByOthers(const Fd& fd, uint64_t offset, uint64_t length, bool* locked);
// Takes a shared lock on the range without waiting.
int ShareRange(const Fd& fd, uint64_t offset, uint64_t length);

}  // namespace cedev::host

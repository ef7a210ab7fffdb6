// Mutexes and events. A named mutex is shared by every device program of the
// device through lock files in run/: the holder keeps an exclusive lock,
// which the host drops when the holder dies, so a mutex never stays owned by
// a dead program.
#pragma once

#include <condition_variable>
#include <mutex>
#include <memory>
#include <string>

#include "host_locks.h"
#include "waitable.h"

namespace cedev {

// The process-wide side of a named mutex: an ".owner" lock file, locked
// while some thread of this process owns the mutex, and an ".open" file that
// every program with the mutex open keeps a shared lock on.
class MutexFileLock {
 public:
  MutexFileLock(host::LockFile owner, host::LockFile open) : owner_(std::move(owner)), open_(std::move(open)) {}
  MutexFileLock(const MutexFileLock&) = delete;
  MutexFileLock& operator=(const MutexFileLock&) = delete;

  // WAIT_OBJECT_0, WAIT_ABANDONED (the previous holder died holding it) or WAIT_TIMEOUT.
  DWORD Acquire(Deadline deadline);
  void Release();

 private:
  host::LockFile owner_;
  host::LockFile open_;  // held shared while this program has the mutex open
};

class MutexObject : public Waitable {
 public:
  explicit MutexObject(std::unique_ptr<MutexFileLock> shared = nullptr) : shared_(std::move(shared)) {}
  DWORD WaitUntil(Deadline deadline) override;
  // False (ERROR_NOT_OWNER) when the calling thread does not own it.
  bool Release();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  DWORD owner_ = 0;  // thread id; 0 when no thread of this process owns it
  int count_ = 0;
  bool acquiring_ = false;  // a thread is taking the cross-process lock
  std::unique_ptr<MutexFileLock> shared_;
};

class EventObject : public Waitable {
 public:
  EventObject(bool manual_reset, bool signalled) : manual_reset_(manual_reset), signalled_(signalled) {}
  DWORD WaitUntil(Deadline deadline) override;
  void Set();
  void Reset();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const bool manual_reset_;
  bool signalled_;
};

}  // namespace cedev

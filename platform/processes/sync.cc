// Mutexes and events. Named mutexes reach across device programs through
// lock files in the device's run/ folder (see sync_objects.h).
#include <cstdio>
#include <map>
#include <thread>

#include "ce/process.h"
#include "device_folder.h"
#include "host_files.h"
#include "host_locks.h"
#include "host_process.h"
#include "last_error.h"
#include "sync_objects.h"
#include "wstr.h"

namespace cedev {
namespace {

constexpr auto kLockPollInterval = std::chrono::milliseconds(2);
constexpr auto kOwnerCheckInterval = std::chrono::milliseconds(20);


std::string LockFileStem(std::u16string_view name) {
  std::string folded = ToUtf8(Fold(name));
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : folded) hash = (hash ^ c) * 1099511628211ull;
  char stem[48];
  std::snprintf(stem, sizeof stem, "mutex-%016llx-%zu", static_cast<unsigned long long>(hash), folded.size());
  return stem;
}

// The named objects this process has open, so a second CreateMutexW or
// CreateEventW of the same name in one program gives the same object.
template <class T>
class NameTable {
 public:
  std::shared_ptr<T> Find(const std::u16string& key) {
    auto it = objects_.find(key);
    return it == objects_.end() ? nullptr : it->second.lock();
  }
  void Add(const std::u16string& key, const std::shared_ptr<T>& object) { objects_[key] = object; }
  std::mutex& mutex() { return mutex_; }

 private:
  std::mutex mutex_;
  std::map<std::u16string, std::weak_ptr<T>> objects_;
};

NameTable<MutexObject>& Mutexes() {
  static auto* table = new NameTable<MutexObject>;
  return *table;
}

NameTable<EventObject>& Events() {
  static auto* table = new NameTable<EventObject>;
  return *table;
}

// Every program with the mutex open holds a shared lock on its ".open"
// file, so an exclusive try tells whether any other program has it.
struct OpenedShared {
  std::unique_ptr<MutexFileLock> lock;
  bool existed = false;
};

bool OpenSharedMutex(std::u16string_view name, OpenedShared* out) {
  Device* dev = Device::Current();
  if (!dev) return false;
  std::error_code ec;
  std::filesystem::create_directories(dev->RunDir(), ec);
  host::LockFileGuard guard((dev->RunDir() / "mutex.guard").string());
  if (!guard.Held()) return false;
  std::string stem = LockFileStem(name);
  host::LockFile open_file, owner_file;
  int error = open_file.Open((dev->RunDir() / (stem + ".open")).string());
  if (!error) error = owner_file.Open((dev->RunDir() / (stem + ".owner")).string());
  if (error) {
    SetLastError(Win32FromErrno(error));
    return false;
  }
  out->existed = open_file.TryLock(true) != 0;
  open_file.Lock(false);
  out->lock = std::make_unique<MutexFileLock>(std::move(owner_file), std::move(open_file));
  return true;
}

}  // namespace

DWORD MutexFileLock::Acquire(Deadline deadline) {
  while (owner_.TryLock(true) != 0) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return WAIT_TIMEOUT;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kLockPollInterval, deadline - now));
  }
  // A holder that released cleanly left the file empty; a pid means it died
  // holding the mutex.
  char old[32];
  size_t n = 0;
  host::ReadAt(owner_.File(), old, sizeof old, 0, &n);
  char pid[32];
  int len = std::snprintf(pid, sizeof pid, "%d\n", host::ProcessId());
  size_t put = 0;
  if (host::Truncate(owner_.File(), 0) == 0) host::WriteAt(owner_.File(), pid, static_cast<size_t>(len), 0, &put);
  // The lock itself is what counts; the pid only reports abandonment.
  return n > 0 ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

void MutexFileLock::Release() {
  // A failure leaves a pid behind: the next owner would only see WAIT_ABANDONED.
  host::Truncate(owner_.File(), 0);
  owner_.Unlock();
}

DWORD MutexObject::WaitUntil(Deadline deadline) {
  std::unique_lock lock(mutex_);
  DWORD me = GetCurrentThreadId();
  if (owner_ == me) {
    ++count_;
    return WAIT_OBJECT_0;
  }
  // A thread of this program that ended while owning the mutex leaves it
  // abandoned; the next owner is told so.
  for (;;) {
    if (owner_ == 0 && !acquiring_) break;
    if (owner_ != 0 && !host::ThreadExists(owner_)) {
      owner_ = me;
      count_ = 1;
      return WAIT_ABANDONED;
    }
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return WAIT_TIMEOUT;
    released_.wait_until(lock, std::min<Deadline>(deadline, now + kOwnerCheckInterval));
  }
  DWORD result = WAIT_OBJECT_0;
  if (shared_) {
    acquiring_ = true;
    lock.unlock();
    result = shared_->Acquire(deadline);
    lock.lock();
    acquiring_ = false;
    if (result == WAIT_TIMEOUT) {
      released_.notify_all();
      return WAIT_TIMEOUT;
    }
  }
  owner_ = me;
  count_ = 1;
  return result;
}

bool MutexObject::Release() {
  std::lock_guard lock(mutex_);
  if (owner_ != GetCurrentThreadId()) return Fail(ERROR_NOT_OWNER, false);
  if (--count_ == 0) {
    owner_ = 0;
    if (shared_) shared_->Release();
    released_.notify_all();
  }
  return true;
}

DWORD EventObject::WaitUntil(Deadline deadline) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_until(lock, deadline, [&] { return signalled_; })) return WAIT_TIMEOUT;
  if (!manual_reset_) signalled_ = false;
  return WAIT_OBJECT_0;
}

void EventObject::Set() {
  std::lock_guard lock(mutex_);
  signalled_ = true;
  if (manual_reset_) changed_.notify_all();
  else changed_.notify_one();
}

void EventObject::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

}  // namespace cedev

using cedev::Fail;

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
  std::u16string name(cedev::WView(lpName));
  if (name.size() >= MAX_PATH) return Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
  std::shared_ptr<cedev::MutexObject> mutex;
  bool existed = false;
  if (name.empty()) {
    mutex = std::make_shared<cedev::MutexObject>();
  } else {
    auto& table = cedev::Mutexes();
    std::lock_guard lock(table.mutex());
    std::u16string key = cedev::Fold(name);
    mutex = table.Find(key);
    existed = mutex != nullptr;
    if (!mutex) {
      cedev::OpenedShared shared;
      if (!cedev::OpenSharedMutex(name, &shared)) return nullptr;
      existed = shared.existed;
      mutex = std::make_shared<cedev::MutexObject>(std::move(shared.lock));
      table.Add(key, mutex);
    }
  }
  // Only the creator takes initial ownership; opening an existing mutex never does.
  if (bInitialOwner && !existed) mutex->WaitUntil(cedev::Deadline::max());
  HANDLE handle = cedev::AllocHandle(mutex);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL ReleaseMutex(HANDLE hMutex) {
  auto mutex = cedev::LookupHandleAs<cedev::MutexObject>(hMutex);
  if (!mutex) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return mutex->Release() ? TRUE : FALSE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName) {
  std::u16string name(cedev::WView(lpName));
  if (name.size() >= MAX_PATH) return Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
  if (name.empty()) return cedev::AllocHandle(std::make_shared<cedev::EventObject>(bManualReset, bInitialState));
  auto& table = cedev::Events();
  std::lock_guard lock(table.mutex());
  std::u16string key = cedev::Fold(name);
  auto event = table.Find(key);
  bool existed = event != nullptr;
  if (!event) {
    event = std::make_shared<cedev::EventObject>(bManualReset, bInitialState);
    table.Add(key, event);
  }
  HANDLE handle = cedev::AllocHandle(event);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL SetEvent(HANDLE hEvent) {
  auto event = cedev::LookupHandleAs<cedev::EventObject>(hEvent);
  if (!event) return Fail(ERROR_INVALID_HANDLE, FALSE);
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
  auto event = cedev::LookupHandleAs<cedev::EventObject>(hEvent);
  if (!event) return Fail(ERROR_INVALID_HANDLE, FALSE);
  event->Reset();
  return TRUE;
}

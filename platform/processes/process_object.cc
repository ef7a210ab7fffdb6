// Process handles. Liveness comes from the host (pidfd, /proc), exit codes
// from the device's process table, where the program or its starter put them.
#include "process_object.h"

#include <cstdio>
#include <map>
#include <thread>

#include "ce/process.h"
#include "device_folder.h"
#include "host_process.h"
#include "last_error.h"
#include "pending_writes.h"
#include "program.h"

namespace cedev {
namespace {

// How long a finished program's exit code may take to reach the table when
// its starter (another process) is the one recording it.
constexpr auto kExitCodeGrace = std::chrono::milliseconds(1000);

}  // namespace

void ChildWatch::MarkExited() {
  std::lock_guard lock(mutex_);
  exited_ = true;
  exited_cv_.notify_all();
}

bool ChildWatch::Exited() {
  std::lock_guard lock(mutex_);
  return exited_;
}

bool ChildWatch::WaitUntil(Deadline deadline) {
  std::unique_lock lock(mutex_);
  return exited_cv_.wait_until(lock, deadline, [&] { return exited_; });
}

ProcessObject::ProcessObject(Device* dev, ProcessKey key, host::Fd watch, std::shared_ptr<ChildWatch> child)
    : dev_(dev), key_(key), watch_(std::move(watch)), child_(std::move(child)) {}

DWORD ProcessObject::WaitUntil(Deadline deadline) {
  if (child_) return child_->WaitUntil(deadline) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  for (;;) {
    if (!IsAlive(key_)) return WAIT_OBJECT_0;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return WAIT_TIMEOUT;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    // Bounded slices: the watch may belong to a reused pid we cannot see end.
    host::WaitWatched(watch_, static_cast<int>(std::min<int64_t>(left + 1, 1000)));
  }
}

bool ProcessObject::Exited() { return child_ ? child_->Exited() : !IsAlive(key_); }

DWORD ProcessObject::ExitCode() {
  if (!Exited()) return STILL_ACTIVE;
  auto give_up = std::chrono::steady_clock::now() + kExitCodeGrace;
  for (;;) {
    auto row = FindProcess(dev_, key_);
    if (row && row->exit_code) return *row->exit_code;
    if (std::chrono::steady_clock::now() >= give_up) return kKilledExitCode;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool ProcessObject::Terminate(DWORD exit_code) {
  if (Exited()) return false;
  RecordExit(dev_, key_, exit_code);
  if (host::KillWatched(watch_) != 0) return false;
  WaitUntil(Deadline::max());
  return true;
}

namespace {

std::mutex g_children_mutex;
std::map<int, std::weak_ptr<ChildWatch>>* g_children = new std::map<int, std::weak_ptr<ChildWatch>>;

}  // namespace

void RememberChild(int pid, const std::shared_ptr<ChildWatch>& watch) {
  std::lock_guard lock(g_children_mutex);
  (*g_children)[pid] = watch;
}

void ForgetChild(int pid) {
  std::lock_guard lock(g_children_mutex);
  g_children->erase(pid);
}

std::shared_ptr<ProcessObject> OpenDeviceProgram(Device* dev, int pid) {
  auto row = FindRunning(dev, pid);
  if (!row) return nullptr;
  host::Fd watch;
  if (host::WatchProcess(pid, &watch) != 0) return nullptr;
  std::shared_ptr<ChildWatch> child;
  {
    std::lock_guard lock(g_children_mutex);
    auto it = g_children->find(pid);
    if (it != g_children->end()) child = it->second.lock();
  }
  return std::make_shared<ProcessObject>(dev, row->key, std::move(watch), child);
}

}  // namespace cedev

using cedev::Fail;

HANDLE OpenProcess(DWORD, BOOL, DWORD IDProcess) {
  cedev::Device* dev = cedev::Device::Current();
  if (!dev) return nullptr;
  auto process = cedev::OpenDeviceProgram(dev, static_cast<int>(IDProcess));
  if (!process) return Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
  return cedev::AllocHandle(process);
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  if (hProcess == GetCurrentProcess()) {
    if (!lpExitCode) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *lpExitCode = STILL_ACTIVE;
    return TRUE;
  }
  auto process = cedev::LookupHandleAs<cedev::ProcessObject>(hProcess);
  if (!process) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!lpExitCode) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *lpExitCode = process->ExitCode();
  return TRUE;
}

BOOL TerminateProcess(HANDLE hProcess, DWORD uExitCode) {
  if (hProcess == GetCurrentProcess()) ExitProcess(uExitCode);
  auto process = cedev::LookupHandleAs<cedev::ProcessObject>(hProcess);
  if (!process) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!process->Terminate(uExitCode)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  return TRUE;
}

void ExitProcess(UINT uExitCode) {
  cedev::DrainPendingWriters();  // _exit skips the exit handler that would
  cedev::RecordSelfExit(uExitCode);
  std::fflush(nullptr);
  // The device's exit code lives in the process table; the host only gets its low byte.
  cedev::host::ExitNow(static_cast<int>(uExitCode & 0xFF));
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(cedev::host::ProcessId()); }

// The pseudo handle of the device (SH_CURPROC).
HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(uintptr_t{0x42}); }

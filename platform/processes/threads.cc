// Threads: each CreateThread runs the routine on a host thread; the exit
// code is published when the thread ends, by return or by ExitThread.
#include <cstdlib>
#include <memory>

#include "ce/process.h"
#include "faults.h"
#include "host_process.h"
#include "last_error.h"
#include "process_object.h"
#include "thread_object.h"

namespace cedev {
namespace {

thread_local ThreadObject* t_current_thread = nullptr;

struct StartArgs {
  std::shared_ptr<ThreadObject> thread;
  LPTHREAD_START_ROUTINE routine;
  LPVOID param;
};

// Marks the thread finished however it leaves: return, ExitThread (which
// unwinds through here) or ExitProcess.
class FinishOnExit {
 public:
  explicit FinishOnExit(ThreadObject* thread) : thread_(thread) {}
  ~FinishOnExit() { thread_->Finished(); }

 private:
  ThreadObject* thread_;
};

void* Trampoline(void* raw) {
  std::unique_ptr<StartArgs> args(static_cast<StartArgs*>(raw));
  std::shared_ptr<ThreadObject> keep = args->thread;
  t_current_thread = keep.get();
  FinishOnExit finish(keep.get());
  keep->Started(GetCurrentThreadId());
  LPTHREAD_START_ROUTINE routine = args->routine;
  LPVOID param = args->param;
  args.reset();
  keep->SetExitCode(routine(param));
  return nullptr;
}

}  // namespace

DWORD ThreadObject::WaitUntil(Deadline deadline) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_until(lock, deadline, [&] { return finished_; })) return WAIT_TIMEOUT;
  return WAIT_OBJECT_0;
}

DWORD ThreadObject::ExitCode() {
  std::lock_guard lock(mutex_);
  return finished_ ? exit_code_ : STILL_ACTIVE;
}

DWORD ThreadObject::Id() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return id_ != 0; });
  return id_;
}

void ThreadObject::Started(DWORD id) {
  std::lock_guard lock(mutex_);
  id_ = id;
  changed_.notify_all();
}

void ThreadObject::SetExitCode(DWORD code) {
  std::lock_guard lock(mutex_);
  exit_code_ = code;
}

void ThreadObject::Finished() {
  std::lock_guard lock(mutex_);
  finished_ = true;
  changed_.notify_all();
}

}  // namespace cedev

using cedev::Fail;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD cbStack, LPTHREAD_START_ROUTINE lpStartAddr, LPVOID lpvThreadParam,
                    DWORD fdwCreate, LPDWORD lpIDThread) {
  if (!lpStartAddr) return Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
  if (fdwCreate & CREATE_SUSPENDED) return Fail(ERROR_NOT_SUPPORTED, static_cast<HANDLE>(nullptr));
  // A device out of memory for another thread (fault "thread.create").
  if (DWORD error = cedev::InjectedFault("thread.create", u"thread")) return Fail(error, static_cast<HANDLE>(nullptr));
  auto thread = std::make_shared<cedev::ThreadObject>();
  // The device's stack size is a minimum; host threads get at least 1 MiB.
  size_t stack = cbStack > (1u << 20) ? cbStack : 0;
  auto* args = new cedev::StartArgs{thread, lpStartAddr, lpvThreadParam};
  int rc = cedev::host::StartThread(cedev::Trampoline, args, stack);
  if (rc != 0) {
    delete args;
    return Fail(cedev::Win32FromErrno(rc), static_cast<HANDLE>(nullptr));
  }
  if (lpIDThread) *lpIDThread = thread->Id();
  return cedev::AllocHandle(thread);
}

void ExitThread(DWORD dwExitCode) {
  // The program ends with its primary thread, as on the device.
  if (GetCurrentThreadId() == static_cast<DWORD>(cedev::host::ProcessId())) ExitProcess(dwExitCode);
  if (cedev::t_current_thread) cedev::t_current_thread->SetExitCode(dwExitCode);
  cedev::host::ExitThisThread();
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = cedev::LookupHandleAs<cedev::ThreadObject>(hThread);
  // The primary thread of a started program ends with it and has its exit code.
  auto program = thread ? nullptr : cedev::LookupHandleAs<cedev::ProcessObject>(hThread);
  if (!thread && !program) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!lpExitCode) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *lpExitCode = thread ? thread->ExitCode() : program->ExitCode();
  return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(cedev::host::ThreadId()); }

// The pseudo handle of the device (SH_CURTHREAD).
HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(uintptr_t{0x41}); }

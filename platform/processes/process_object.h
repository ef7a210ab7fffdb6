// A handle to a device program: waits for its end (a child through its
// reaper, any other program through a pidfd) and reports its exit code.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "host_fd.h"
#include "process_table.h"
#include "waitable.h"

namespace cedev {

class Device;

// Set by the reaper thread of a program this process started.
class ChildWatch {
 public:
  void MarkExited();
  bool Exited();
  bool WaitUntil(Deadline deadline);

 private:
  std::mutex mutex_;
  std::condition_variable exited_cv_;
  bool exited_ = false;
};

class ProcessObject : public Waitable {
 public:
  // `watch` tells when the program ends (see host::WatchProcess).
  ProcessObject(Device* dev, ProcessKey key, host::Fd watch, std::shared_ptr<ChildWatch> child);
  DWORD WaitUntil(Deadline deadline) override;
  bool Exited();
  // STILL_ACTIVE while it runs.
  DWORD ExitCode();
  // False when it has already ended.
  bool Terminate(DWORD exit_code);
  const ProcessKey& key() const { return key_; }

 private:
  Device* dev_;
  ProcessKey key_;
  host::Fd watch_;
  std::shared_ptr<ChildWatch> child_;
};

// Children of this process, so opening one by id waits through its reaper.
void RememberChild(int pid, const std::shared_ptr<ChildWatch>& watch);
void ForgetChild(int pid);

// Opens a handle object for a running device program; null when it is not one.
std::shared_ptr<ProcessObject> OpenDeviceProgram(Device* dev, int pid);

}  // namespace cedev

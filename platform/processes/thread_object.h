// A thread started with CreateThread: its exit code and the moment it ends.
#pragma once

#include <condition_variable>
#include <mutex>

#include "waitable.h"

namespace cedev {

class ThreadObject : public Waitable {
 public:
  DWORD WaitUntil(Deadline deadline) override;
  // STILL_ACTIVE until the thread has ended.
  DWORD ExitCode();
  DWORD Id();

  // Called on the thread itself.
  void Started(DWORD id);
  void SetExitCode(DWORD code);
  void Finished();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  DWORD id_ = 0;
  DWORD exit_code_ = 0;
  bool finished_ = false;
};

}  // namespace cedev

// Kernel objects a program can wait for with WaitForSingleObject: threads,
// processes, mutexes, events. Each kind decides what "signalled" means.
#pragma once

#include <chrono>

#include "ce/types.h"
#include "handles.h"

namespace cedev {

using Deadline = std::chrono::steady_clock::time_point;

class Waitable : public KObject {
 public:
  // WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT (WAIT_FAILED with the last
  // error set when the object cannot be waited for).
  virtual DWORD WaitUntil(Deadline deadline) = 0;
};

// The real-time deadline of a device time limit (scaled; INFINITE never ends).
Deadline DeadlineAfter(DWORD device_ms);

}  // namespace cedev

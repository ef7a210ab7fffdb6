// Waiting: time limits go through the device's time scale, then each kind of
// object waits in its own way.
#include <cstdint>
#include <thread>

#include "ce/process.h"
#include "clock.h"
#include "host_process.h"
#include "host_time.h"
#include "last_error.h"
#include "waitable.h"

namespace cedev {

Deadline DeadlineAfter(DWORD device_ms) {
  if (device_ms == INFINITE) return Deadline::max();
  return std::chrono::steady_clock::now() + RealDuration(device_ms);
}

}  // namespace cedev

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  auto object = cedev::LookupHandleAs<cedev::Waitable>(hHandle);
  if (!object) return cedev::Fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
  return object->WaitUntil(cedev::DeadlineAfter(dwMilliseconds));
}

namespace {

// Sleep(0) gives up the rest of the time slice. The host preempts threads
// on its own, so a thread that yielded less than a millisecond ago has no
// slice left worth giving up; programs that yield after every small write
// would otherwise spend more time in the host scheduler than writing.
void YieldTimeSlice() {
  constexpr int64_t kSliceNs = 1000000;
  thread_local int64_t last_yield_ns = 0;
  int64_t now_ns = cedev::host::CoarseMonotonicNs();
  if (now_ns - last_yield_ns < kSliceNs) return;
  cedev::host::YieldProcessor();
  last_yield_ns = now_ns;
}

}  // namespace

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    YieldTimeSlice();
    return;
  }
  if (dwMilliseconds == INFINITE) cedev::host::SleepForever();
  std::this_thread::sleep_for(cedev::RealDuration(dwMilliseconds));
}

DWORD GetTickCount() { return static_cast<DWORD>(cedev::DeviceTickMs()); }

// Waiting: time limits go through the device's time scale, then each kind of
// object waits in its own way.
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include "ce/process.h"
#include "clock.h"
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

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    sched_yield();  // gives up the rest of the time slice, as on the device
    return;
  }
  if (dwMilliseconds == INFINITE) {
    for (;;) pause();
  }
  auto real = cedev::RealDuration(dwMilliseconds);
  timespec ts{static_cast<time_t>(real.count() / 1000), static_cast<long>(real.count() % 1000 * 1000000)};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

DWORD GetTickCount() { return static_cast<DWORD>(cedev::DeviceTickMs()); }

#include "host_time.h"

#include <time.h>

namespace cedev::host {

int64_t HostUtcNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return FileTimeFromHost(ts.tv_sec, ts.tv_nsec);
}

int64_t CoarseMonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace cedev::host

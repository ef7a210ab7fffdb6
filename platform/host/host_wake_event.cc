#include "host_wake_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace cedev::host {
namespace {

// The time left to a deadline, for ppoll; null for a deadline that never comes.
const timespec* TimeLeft(WakeEvent::Deadline deadline, timespec* out) {
  if (deadline == WakeEvent::Deadline::max()) return nullptr;
  auto left = deadline - std::chrono::steady_clock::now();
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  if (ns < 0) ns = 0;
  out->tv_sec = static_cast<time_t>(ns / 1000000000);
  out->tv_nsec = static_cast<long>(ns % 1000000000);
  return out;
}

}  // namespace

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void WakeEvent::Signal() {
  uint64_t one = 1;
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void WakeEvent::Drain() {
  uint64_t count;
  while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

WakeEvent::Woken WakeEvent::Wait(Deadline deadline, int descriptor) {
  pollfd fds[2] = {{fd_, POLLIN, 0}, {descriptor, POLLIN, 0}};
  nfds_t count = descriptor >= 0 ? 2 : 1;
  for (;;) {
    timespec left;
    int rc = ::ppoll(fds, count, TimeLeft(deadline, &left), nullptr);
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return Woken::kTimedOut;
    if (count == 2 && fds[1].revents) return Woken::kDescriptorReady;
    Drain();
    return Woken::kSignalled;
  }
}

}  // namespace cedev::host

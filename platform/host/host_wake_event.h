// What a thread of the window system sleeps on while its queue is empty:
// one host event that other threads signal, and that can also wake for a
// descriptor (the reply to a message sent to another program).
#pragma once

#include <chrono>

namespace cedev::host {

class WakeEvent {
 public:
  using Deadline = std::chrono::steady_clock::time_point;
  enum class Woken { kSignalled, kTimedOut, kDescriptorReady };

  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  // False when the host gave no event (the waits then time out at once).
  bool Valid() const { return fd_ >= 0; }
  // Wakes the waiting thread, or makes its next wait return at once.
  void Signal();
  // Sleeps until a signal, the deadline, or (when `descriptor` >= 0) data or
  // a hang-up on the descriptor. A signal is used up by the wait it ends.
  Woken Wait(Deadline deadline, int descriptor = -1);
  // The descriptor to watch in a poll set of one's own.
  int Descriptor() const { return fd_; }
  // Uses up a pending signal without waiting.
  void Drain();

 private:
  int fd_;
};

}  // namespace cedev::host

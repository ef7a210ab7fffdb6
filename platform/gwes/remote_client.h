// The sending side of traffic to other programs: a connection per program
// and thread, requests, and the wait for a reply during which the thread
// keeps serving what is sent to it (so two programs sending to each other do
// not deadlock). A program that dies closes its end, which fails the wait at
// once.
#pragma once

#include <string>

#include "ce/user.h"
#include "thread_queue.h"
#include "wire_format.h"

namespace cedev::gwes {

struct RemoteTarget {
  uint32_t handle = 0;
  int pid = 0;
  std::string endpoint;
};

// Sends and waits for the reply until the deadline. False with the last
// error set: ERROR_INVALID_WINDOW_HANDLE (the window or its program went),
// ERROR_TIMEOUT, ERROR_NOT_SUPPORTED (parameters that cannot cross).
bool SendRemote(const RemoteTarget& target, UINT message, WPARAM wparam, LPARAM lparam, uint32_t flags,
                Deadline deadline, LRESULT* result);
// Posts (or, for kInput, queues as keyboard input); the receiver confirms.
bool PostRemote(const RemoteTarget& target, FrameKind kind, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace cedev::gwes

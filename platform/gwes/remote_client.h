// The sending side of traffic to other programs: a connection per program
// and thread, requests and replies. A program that dies closes its end,
// which ends a wait for its reply at once.
#pragma once

#include <cstddef>
#include <string>

#include "ce/user.h"
#include "wire_format.h"

namespace cedev::gwes {

struct RemoteTarget {
  uint32_t handle = 0;
  int pid = 0;
  std::string endpoint;
};

// Writes a request on this thread's connection to the program; the
// connection's descriptor, to wait on for the reply, or -1 (the program is
// gone).
int SendRequest(const RemoteTarget& target, const RequestHeader& header, const std::string& payload);
RequestHeader RequestFor(FrameKind kind, const RemoteTarget& target, UINT message, WPARAM wparam, LPARAM lparam,
                         uint32_t flags, size_t payload_bytes);

enum class ReplyRead { kReply, kStale, kClosed };
// Reads the reply on the connection: kStale for the late reply to a request
// whose sender gave up, kClosed when the program went (the connection is
// then forgotten).
ReplyRead ReadReply(int fd, uint64_t request, ReplyHeader* header, std::string* payload);
// What a reply's status means for the caller: true for kOk, else false with
// the last error set.
bool Succeeded(ReplyStatus status);
// Posts (or, for kInput, queues as keyboard input); the receiver confirms.
bool PostRemote(const RemoteTarget& target, FrameKind kind, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace cedev::gwes

// One connection between two programs' window systems, shared by whoever
// writes a reply on it; the descriptor closes when the last user lets go.
#pragma once

#include <mutex>
#include <string>

#include "wire_format.h"

namespace cedev::gwes {

struct Connection {
  explicit Connection(int descriptor) : fd(descriptor) {}
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // One reply at a time, header and data together.
  bool Reply(uint64_t request, ReplyStatus status, int64_t result, const std::string& payload);

  int fd;
  std::mutex write_mutex;
};

}  // namespace cedev::gwes

#include "connection.h"

#include "host_local_socket.h"

namespace cedev::gwes {

Connection::~Connection() { host::CloseDescriptor(fd); }

bool Connection::Reply(uint64_t request, ReplyStatus status, int64_t result, const std::string& payload) {
  ReplyHeader header{kReplyMagic, static_cast<uint32_t>(status), request, result,
                     static_cast<uint32_t>(payload.size()), 0};
  std::lock_guard lock(write_mutex);
  return host::SendAll(fd, &header, sizeof header) &&
         (payload.empty() || host::SendAll(fd, payload.data(), payload.size()));
}

}  // namespace cedev::gwes

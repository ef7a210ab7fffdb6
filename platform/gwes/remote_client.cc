#include "remote_client.h"

#include <atomic>
#include <vector>

#include "host_local_socket.h"
#include "last_error.h"
#include "session.h"

namespace cedev::gwes {
namespace {

// This thread's connections to other programs, closed when it ends.
class ConnectionCache {
 public:
  ~ConnectionCache() {
    for (auto& e : entries_) host::CloseDescriptor(e.fd);
  }
  int Get(int pid, const std::string& endpoint) {
    if (epoch_ != ForkEpoch()) {
      entries_.clear();  // the parent's: not ours to use or close
      epoch_ = ForkEpoch();
    }
    for (auto& e : entries_) {
      if (e.pid == pid && e.endpoint == endpoint) return e.fd;
    }
    int fd = host::ConnectLocal(endpoint);
    if (fd >= 0) entries_.push_back({pid, endpoint, fd});
    return fd;
  }
  void Drop(int fd) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].fd == fd) {
        host::CloseDescriptor(fd);
        entries_.erase(entries_.begin() + static_cast<long>(i));
        return;
      }
    }
  }

 private:
  struct Entry {
    int pid;
    std::string endpoint;
    int fd;
  };
  std::vector<Entry> entries_;
  uint64_t epoch_ = ForkEpoch();
};

thread_local ConnectionCache t_connections;
std::atomic<uint64_t> g_next_request{1};

}  // namespace

// A kept connection that turns out to be closed is made again, once.
int SendRequest(const RemoteTarget& target, const RequestHeader& header, const std::string& payload) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = t_connections.Get(target.pid, target.endpoint);
    if (fd < 0) return -1;
    if (host::SendAll(fd, &header, sizeof header) && (payload.empty() || host::SendAll(fd, payload.data(), payload.size()))) {
      return fd;
    }
    t_connections.Drop(fd);
  }
  return -1;
}

ReplyRead ReadReply(int fd, uint64_t request, ReplyHeader* header, std::string* payload) {
  bool whole = host::ReceiveAll(fd, header, sizeof *header) && header->magic == kReplyMagic &&
               header->payload_bytes <= kMaxPayload;
  if (whole) {
    payload->assign(header->payload_bytes, '\0');
    whole = !header->payload_bytes || host::ReceiveAll(fd, payload->data(), payload->size());
  }
  if (!whole) {
    t_connections.Drop(fd);
    return ReplyRead::kClosed;
  }
  return header->request == request ? ReplyRead::kReply : ReplyRead::kStale;
}

bool Succeeded(ReplyStatus status) {
  switch (status) {
    case ReplyStatus::kOk: return true;
    case ReplyStatus::kHung: return Fail(ERROR_TIMEOUT, false);
    case ReplyStatus::kRefused: return Fail(ERROR_NOT_SUPPORTED, false);
    case ReplyStatus::kInvalidWindow: break;
  }
  return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
}

RequestHeader RequestFor(FrameKind kind, const RemoteTarget& target, UINT message, WPARAM wparam, LPARAM lparam,
                        uint32_t flags, size_t payload_bytes) {
  return RequestHeader{kRequestMagic, static_cast<uint32_t>(kind), g_next_request++, target.handle, message,
                       static_cast<uint64_t>(wparam), static_cast<uint64_t>(lparam), flags,
                       static_cast<uint32_t>(payload_bytes)};
}

bool PostRemote(const RemoteTarget& target, FrameKind kind, UINT message, WPARAM wparam, LPARAM lparam) {
  RequestHeader header = RequestFor(kind, target, message, wparam, lparam, 0, 0);
  int fd = SendRequest(target, header, {});
  if (fd < 0) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  for (;;) {
    ReplyHeader reply;
    std::string data;
    ReplyRead read = ReadReply(fd, header.request, &reply, &data);
    if (read == ReplyRead::kStale) continue;
    if (read == ReplyRead::kClosed) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
    return Succeeded(static_cast<ReplyStatus>(reply.status));
  }
}

}  // namespace cedev::gwes

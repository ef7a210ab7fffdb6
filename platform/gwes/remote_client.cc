#include "remote_client.h"

#include <atomic>
#include <vector>

#include "last_error.h"
#include "host_local_socket.h"
#include "marshal.h"
#include "send.h"
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

// Writes a request on this thread's connection to the program, reconnecting
// once when a kept connection turns out to be closed. The descriptor, or -1.
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

enum class Read { kReply, kStale, kClosed };

Read ReadReply(int fd, uint64_t request, ReplyHeader* header, std::string* payload) {
  if (!host::ReceiveAll(fd, header, sizeof *header) || header->magic != kReplyMagic || header->payload_bytes > kMaxPayload) {
    return Read::kClosed;
  }
  payload->assign(header->payload_bytes, '\0');
  if (header->payload_bytes && !host::ReceiveAll(fd, payload->data(), payload->size())) return Read::kClosed;
  return header->request == request ? Read::kReply : Read::kStale;
}

bool FailFor(ReplyStatus status) {
  switch (status) {
    case ReplyStatus::kOk: return true;
    case ReplyStatus::kHung: return Fail(ERROR_TIMEOUT, false);
    case ReplyStatus::kRefused: return Fail(ERROR_NOT_SUPPORTED, false);
    case ReplyStatus::kInvalidWindow: break;
  }
  return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
}

RequestHeader HeaderFor(FrameKind kind, const RemoteTarget& target, UINT message, WPARAM wparam, LPARAM lparam,
                        uint32_t flags, size_t payload_bytes) {
  return RequestHeader{kRequestMagic, static_cast<uint32_t>(kind), g_next_request++, target.handle, message,
                       static_cast<uint64_t>(wparam), static_cast<uint64_t>(lparam), flags,
                       static_cast<uint32_t>(payload_bytes)};
}

}  // namespace

bool SendRemote(const RemoteTarget& target, UINT message, WPARAM wparam, LPARAM lparam, uint32_t flags,
                Deadline deadline, LRESULT* result) {
  std::string payload;
  if (!PackRequest(message, wparam, lparam, &payload)) return false;
  RequestHeader header = HeaderFor(FrameKind::kSend, target, message, wparam, lparam, flags, payload.size());
  int fd = SendRequest(target, header, payload);
  if (fd < 0) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  ThreadQueue* self = CurrentQueue();
  for (;;) {
    if (self && ServeOneSent(*self)) continue;
    host::WakeEvent::Woken woken = self ? self->Sleep(deadline, ThreadQueue::WakeFor::kSentOnly, fd)
                                  : host::WakeEvent::Woken::kDescriptorReady;
    if (woken == host::WakeEvent::Woken::kTimedOut) return Fail(ERROR_TIMEOUT, false);
    if (woken != host::WakeEvent::Woken::kDescriptorReady) continue;
    ReplyHeader reply;
    std::string data;
    Read read = ReadReply(fd, header.request, &reply, &data);
    if (read == Read::kStale) continue;  // the late answer to a send that gave up
    if (read == Read::kClosed) {
      t_connections.Drop(fd);
      return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
    }
    if (!FailFor(static_cast<ReplyStatus>(reply.status))) return false;
    UnpackReply(message, wparam, lparam, static_cast<LRESULT>(reply.result), data);
    *result = static_cast<LRESULT>(reply.result);
    return true;
  }
}

bool PostRemote(const RemoteTarget& target, FrameKind kind, UINT message, WPARAM wparam, LPARAM lparam) {
  RequestHeader header = HeaderFor(kind, target, message, wparam, lparam, 0, 0);
  int fd = SendRequest(target, header, {});
  if (fd < 0) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  for (;;) {
    ReplyHeader reply;
    std::string data;
    Read read = ReadReply(fd, header.request, &reply, &data);
    if (read == Read::kStale) continue;
    if (read == Read::kClosed) {
      t_connections.Drop(fd);
      return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
    }
    return FailFor(static_cast<ReplyStatus>(reply.status));
  }
}

}  // namespace cedev::gwes

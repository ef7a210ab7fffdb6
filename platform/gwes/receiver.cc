#include "receiver.h"

#include <condition_variable>
#include <map>
#include <thread>

#include "connection.h"
#include "ce/process.h"
#include "host_local_socket.h"
#include "session.h"
#include "thread_queue.h"
#include "host_wake_event.h"
#include "wire_format.h"

namespace cedev::gwes {

Connection::~Connection() { host::CloseDescriptor(fd); }

bool Connection::Reply(uint64_t request, ReplyStatus status, int64_t result, const std::string& payload) {
  ReplyHeader header{kReplyMagic, static_cast<uint32_t>(status), request, result,
                     static_cast<uint32_t>(payload.size()), 0};
  std::lock_guard lock(write_mutex);
  return host::SendAll(fd, &header, sizeof header) && (payload.empty() || host::SendAll(fd, payload.data(), payload.size()));
}


struct Receiver::State {
  Session* session = nullptr;
  int listener = -1;
  std::string endpoint;
  host::WakeEvent stop;
  host::DescriptorPoller poller;
  std::map<int, std::shared_ptr<Connection>> connections;
  std::thread thread;

  // The life mutex handed over by HoldForLife.
  std::mutex mutex;
  std::condition_variable changed;
  host::RobustMutex* alive = nullptr;
  bool holding = false;
  bool stopping = false;

  void Run();
  void TakeAlive();
  void Accept();
  bool Handle(const std::shared_ptr<Connection>& connection);
  ReplyStatus Deliver(const RequestHeader& header, std::string payload, const std::shared_ptr<Connection>& connection,
                      bool* replied);
};

std::unique_ptr<Receiver> Receiver::Start(Session* session, const std::string& path, std::string* endpoint) {
  auto state = std::make_shared<State>();
  state->session = session;
  state->listener = host::ListenLocal(path, &state->endpoint);
  if (state->listener < 0 || !state->stop.Valid() || !state->poller.Valid() || !state->poller.Add(state->listener) ||
      !state->poller.Add(state->stop.Descriptor())) {
    host::CloseDescriptor(state->listener);
    return nullptr;
  }
  *endpoint = state->endpoint;
  state->thread = std::thread([state] { state->Run(); });
  return std::unique_ptr<Receiver>(new Receiver(state));
}

Receiver::~Receiver() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->changed.notify_all();
  state_->stop.Signal();
  if (state_->thread.joinable()) state_->thread.join();
  host::CloseDescriptor(state_->listener);
  host::RemoveLocalEndpoint(state_->endpoint);
}

bool Receiver::HoldForLife(host::RobustMutex* alive) {
  std::unique_lock lock(state_->mutex);
  state_->alive = alive;
  state_->changed.notify_all();
  state_->stop.Signal();
  state_->changed.wait(lock, [&] { return state_->holding || state_->stopping; });
  return state_->holding;
}

void Receiver::State::TakeAlive() {
  std::lock_guard lock(mutex);
  if (alive && !holding) {
    holding = host::LockRobustMutex(alive);
    changed.notify_all();
  }
}

void Receiver::State::Run() {
  for (;;) {
    TakeAlive();
    for (int fd : poller.Wait(std::chrono::milliseconds(-1))) {
      if (fd == stop.Descriptor()) {
        stop.Drain();
        std::lock_guard lock(mutex);
        if (!stopping) continue;
        if (holding) host::UnlockRobustMutex(alive);
        holding = false;
        return;
      }
      if (fd == listener) {
        Accept();
        continue;
      }
      auto it = connections.find(fd);
      if (it == connections.end()) continue;
      if (!Handle(it->second)) {
        poller.Remove(fd);
        connections.erase(it);
      }
    }
  }
}

void Receiver::State::Accept() {
  int fd = host::AcceptLocal(listener);
  if (fd < 0) return;
  if (!poller.Add(fd)) {
    host::CloseDescriptor(fd);
    return;
  }
  connections[fd] = std::make_shared<Connection>(fd);
}

// One request; false when the connection is to be dropped (the other side
// went, or sent something that is no request).
bool Receiver::State::Handle(const std::shared_ptr<Connection>& connection) {
  RequestHeader header;
  if (!host::ReceiveAll(connection->fd, &header, sizeof header)) return false;
  if (header.magic != kRequestMagic || header.payload_bytes > kMaxPayload) return false;
  std::string payload(header.payload_bytes, '\0');
  if (header.payload_bytes && !host::ReceiveAll(connection->fd, payload.data(), payload.size())) return false;
  bool replied = false;
  ReplyStatus status = Deliver(header, std::move(payload), connection, &replied);
  if (!replied) connection->Reply(header.request, status, 0, {});
  return true;
}

ReplyStatus Receiver::State::Deliver(const RequestHeader& header, std::string payload,
                                     const std::shared_ptr<Connection>& connection, bool* replied) {
  std::shared_ptr<Window> window = session->Local(header.handle);
  if (!window || window->destroyed || !window->queue) return ReplyStatus::kInvalidWindow;
  ThreadQueue& queue = *window->queue;
  switch (static_cast<FrameKind>(header.kind)) {
    case FrameKind::kPost:
    case FrameKind::kInput: {
      MSG msg{ToHwnd(header.handle), header.message, static_cast<WPARAM>(header.wparam),
              static_cast<LPARAM>(header.lparam), GetTickCount(), {0, 0}};
      bool queued = static_cast<FrameKind>(header.kind) == FrameKind::kPost ? queue.Post(msg) : queue.PostInput(msg);
      return queued ? ReplyStatus::kOk : ReplyStatus::kInvalidWindow;
    }
    case FrameKind::kSend: {
      if ((header.flags & kAbortIfHung) && queue.Hung(HungThreshold())) return ReplyStatus::kHung;
      auto sent = std::make_shared<SentMessage>();
      sent->hwnd = header.handle;
      sent->message = header.message;
      sent->wparam = static_cast<WPARAM>(header.wparam);
      sent->lparam = static_cast<LPARAM>(header.lparam);
      sent->remote = std::make_unique<RemoteRequest>();
      sent->remote->connection = connection;
      sent->remote->request = header.request;
      sent->remote->payload = std::move(payload);
      if (!queue.Deliver(sent)) return ReplyStatus::kInvalidWindow;
      *replied = true;  // the window's thread replies
      return ReplyStatus::kOk;
    }
  }
  return ReplyStatus::kRefused;
}

}  // namespace cedev::gwes

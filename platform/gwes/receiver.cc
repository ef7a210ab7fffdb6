#include "receiver.h"

#include <condition_variable>
#include <map>
#include <thread>

#include "host_local_socket.h"
#include "host_wake_event.h"

namespace cedev::gwes {

struct Receiver::State {
  Deliverer deliver;
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
};

std::unique_ptr<Receiver> Receiver::Start(Deliverer deliver, const std::string& path, std::string* endpoint) {
  auto state = std::make_shared<State>();
  state->deliver = std::move(deliver);
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
  ReplyStatus status = deliver(header, std::move(payload), connection, &replied);
  if (!replied) connection->Reply(header.request, status, 0, {});
  return true;
}

}  // namespace cedev::gwes

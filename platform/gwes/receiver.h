// Takes the messages other programs send, post and type to this program's
// windows: a thread that listens on the program's endpoint and hands each
// request to the queue of the window's thread. The thread also holds the
// program's life mutex in the window table for as long as it runs, which is
// as long as the program does.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "connection.h"
#include "host_robust_mutex.h"
#include "wire_format.h"

namespace cedev::gwes {

// Hands one request to its window's thread. The status is the reply, unless
// *replied says the window's thread answers itself.
using Deliverer = std::function<ReplyStatus(const RequestHeader& header, std::string payload,
                                            const std::shared_ptr<Connection>& connection, bool* replied)>;

class Receiver {
 public:
  // Listens at `path` (or a name of the same meaning where the path is too
  // long for the host); *endpoint is what other programs connect to.
  static std::unique_ptr<Receiver> Start(Deliverer deliver, const std::string& path, std::string* endpoint);
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  // Has the receiver thread take `alive` and keep it; true once it has.
  bool HoldForLife(host::RobustMutex* alive);

 private:
  struct State;
  explicit Receiver(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

}  // namespace cedev::gwes

// This program's window system on the current device: the device's window
// table, the windows and classes of this program, the queues of its
// threads, and (once it has windows) its entry in the table with the
// receiver that takes messages from other programs.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ce/types.h"
#include "receiver.h"
#include "window.h"
#include "window_table.h"

namespace cedev {
class Device;
}

namespace cedev::gwes {

class ClassRegistry;
class ThreadQueue;

class Session {
 public:
  // The session for the current device, made on first use; null (and
  // ERROR_NOT_READY) when there is no device or its table cannot be mapped.
  static Session* Current();

  WindowTable& table() { return *table_; }
  Device* device() const { return device_; }
  ClassRegistry& classes() { return *classes_; }

  // This program's entry in the window table, taken on first use (which
  // starts the receiver of messages from other programs).
  std::optional<ProgramClaim> Program();

  // This program's live window with the handle, or null.
  std::shared_ptr<Window> Local(uint32_t handle);
  void AddLocal(const std::shared_ptr<Window>& window);
  void RemoveLocal(uint32_t handle);

  // The queue of a thread of this program, or null.
  std::shared_ptr<ThreadQueue> Queue(DWORD tid);
  void AddQueue(const std::shared_ptr<ThreadQueue>& queue);
  void RemoveQueue(DWORD tid);

  // Stops taking messages from other programs and gives up the table entry
  // (the device changed). The object stays, for threads still holding it.
  void Retire();

 private:
  Session(Device* device, std::unique_ptr<WindowTable> table);
  // Hands a request from another program to its window's thread.
  ReplyStatus Deliver(const RequestHeader& header, std::string payload, const std::shared_ptr<Connection>& connection,
                      bool* replied);

  Device* device_;
  std::unique_ptr<WindowTable> table_;
  std::unique_ptr<ClassRegistry> classes_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<Window>> local_;
  std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> queues_;
  std::optional<ProgramClaim> claim_;
  std::unique_ptr<Receiver> receiver_;
  bool retired_ = false;
};

// Counts the forks this process went through: state made before a fork
// belongs to the parent.
uint64_t ForkEpoch();

// The window of this program with the handle, checked against the table's
// generation; null with ERROR_INVALID_WINDOW_HANDLE set when it is none.
std::shared_ptr<Window> LocalWindow(HWND hwnd);

// This thread's queue in the current session, made on first use; null
// without a device. When the thread ends its windows go with it (without
// messages: there is no thread left to handle them), and what was sent to
// it is answered with 0.
ThreadQueue* CurrentQueue();
std::shared_ptr<ThreadQueue> CurrentQueueShared();
// The host thread id of the calling thread, without a system call after the first.
DWORD CurrentThreadId();

// Takes a window out of every list of its program and of the window table,
// once it has had its last message.
void UnlinkWindow(Session& session, ThreadQueue& queue, Window& window);
// The windows of a thread that ends, quietly.
void EndThreadWindows(ThreadQueue& queue);

}  // namespace cedev::gwes

// The message queue of one thread: messages posted to it, input for it,
// messages other threads and programs sent to its windows, its timers, and
// the input state (focus, active window, keys) that GetFocus and GetKeyState
// report. The thread sleeps on one wake event, which posting, sending,
// replying and input signal only when it sleeps, so a busy queue costs no
// system call.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ce/user.h"
#include "host_wake_event.h"

namespace cedev::gwes {

class Session;
class ThreadQueue;
struct Connection;

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

// A message sent by another program, waiting for its reply.
struct RemoteRequest {
  std::shared_ptr<Connection> connection;
  uint64_t request = 0;
  std::string payload;  // the data the message's parameters point to
};

// A message sent to a window of this thread by another thread or program.
struct SentMessage {
  uint32_t hwnd = 0;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  LRESULT result = 0;
  std::atomic<bool> done{false};
  std::shared_ptr<ThreadQueue> sender;     // another thread of this program
  std::unique_ptr<RemoteRequest> remote;   // another program
};

struct Timer {
  uint32_t hwnd = 0;
  UINT_PTR id = 0;
  TIMERPROC proc = nullptr;
  Clock::duration period{};
  Deadline due{};
};

// Which messages a GetMessage or PeekMessage call takes.
struct MessageFilter {
  uint32_t hwnd = 0;        // 0: any; kThreadOnly: messages without a window
  UINT min = 0, max = 0;    // both 0: any
  bool Accepts(const MSG& msg) const;
  bool AcceptsMessage(UINT message) const { return (min == 0 && max == 0) || (message >= min && message <= max); }
};
constexpr uint32_t kThreadOnly = 0xFFFFFFFFu;

class ThreadQueue : public std::enable_shared_from_this<ThreadQueue> {
 public:
  ThreadQueue(Session* session, DWORD tid);
  ~ThreadQueue();
  ThreadQueue(const ThreadQueue&) = delete;
  ThreadQueue& operator=(const ThreadQueue&) = delete;

  Session* session() const { return session_; }
  DWORD tid() const { return tid_; }

  // --- Any thread ---------------------------------------------------------
  // False once the thread has gone.
  bool Post(const MSG& msg);
  bool PostInput(const MSG& msg);
  bool Deliver(std::shared_ptr<SentMessage> sent);
  // Wakes the thread if it sleeps (a reply it waits for has come).
  void Wake();
  // True when the thread neither waits for messages nor has looked at its
  // queue for `after` (SMTO_ABORTIFHUNG).
  bool Hung(Clock::duration after) const;

  // --- The owning thread --------------------------------------------------
  std::shared_ptr<SentMessage> TakeSent();
  bool TakePosted(const MessageFilter& filter, bool remove, MSG* out);
  bool TakeInput(const MessageFilter& filter, bool remove, MSG* out);
  bool HasPending();
  // Sleeps until something arrives, the deadline, `ready` holds (checked
  // under the queue's lock, so a Wake after it cannot be missed), or the
  // descriptor has data. A thread that waits for the answer to its own
  // SendMessage wakes only for sent messages.
  enum class WakeFor { kAnything, kSentOnly };
  host::WakeEvent::Woken Sleep(Deadline deadline, WakeFor wake_for, int descriptor = -1,
                         const std::function<bool()>& ready = nullptr);
  void MarkLooked();
  // Ends the thread's queue: pending sends are answered with 0 (a window
  // that is no more) and later posts fail.
  void Close();
  // Forgets the timers of a window.
  void KillTimers(uint32_t hwnd);

  // State only the owning thread touches.
  std::vector<uint32_t> windows;  // in creation order
  std::vector<Timer> timers;
  int paint_count = 0;
  uint32_t focus = 0;
  uint32_t active = 0;
  uint32_t capture = 0;
  uint8_t keys[256] = {};
  bool quit = false;
  int quit_code = 0;
  int serving_sent = 0;           // depth of messages from others being handled
  bool serving_other_program = false;
  DWORD message_time = 0;
  uint32_t message_pos = 0;
  UINT_PTR next_thread_timer = 0x7FFF;
  std::vector<uint32_t> open_dialogs;  // for the automatic device user

 private:
  bool Push(std::deque<MSG>& into, const MSG& msg);

  Session* session_;
  DWORD tid_;
  std::mutex mutex_;
  std::deque<MSG> posted_;
  std::deque<MSG> input_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  bool sleeping_ = false;
  bool closed_ = false;
  std::atomic<int64_t> last_looked_ns_{0};
  std::atomic<bool> waiting_{false};
  host::WakeEvent wake_;
};

// How long a thread may leave its queue unlooked at before SMTO_ABORTIFHUNG
// counts it as hung: 5 seconds of device time.
Clock::duration HungThreshold();

// Answers a sent message and wakes whoever waits for the answer.
void CompleteSent(SentMessage& sent, LRESULT result);
// Answers a sent message whose window has gone (0 to another thread, a
// failure to another program).
void AbandonSent(SentMessage& sent);

}  // namespace cedev::gwes

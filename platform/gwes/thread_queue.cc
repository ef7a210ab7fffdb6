#include "thread_queue.h"

#include <algorithm>

#include "clock.h"
#include "connection.h"
#include "window_handle.h"

namespace cedev::gwes {
namespace {

int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

}  // namespace

bool MessageFilter::Accepts(const MSG& msg) const {
  if (!AcceptsMessage(msg.message)) return false;
  uint32_t target = HandleValue(msg.hwnd);
  if (hwnd == 0) return true;
  if (hwnd == kThreadOnly) return target == 0;
  return target == hwnd || (target != 0 && IsChild(ToHwnd(hwnd), msg.hwnd));
}

ThreadQueue::ThreadQueue(Session* session, DWORD tid) : session_(session), tid_(tid) { MarkLooked(); }

ThreadQueue::~ThreadQueue() = default;

bool ThreadQueue::Push(std::deque<MSG>& into, const MSG& msg) {
  bool signal;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    into.push_back(msg);
    signal = sleeping_;
    sleeping_ = false;
  }
  if (signal) wake_.Signal();
  return true;
}

bool ThreadQueue::Post(const MSG& msg) { return Push(posted_, msg); }

bool ThreadQueue::PostInput(const MSG& msg) { return Push(input_, msg); }

bool ThreadQueue::Deliver(std::shared_ptr<SentMessage> sent) {
  bool signal;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    sent_.push_back(std::move(sent));
    signal = sleeping_;
    sleeping_ = false;
  }
  if (signal) wake_.Signal();
  return true;
}

void ThreadQueue::Wake() {
  bool signal;
  {
    std::lock_guard lock(mutex_);
    signal = sleeping_;
    sleeping_ = false;
  }
  if (signal) wake_.Signal();
}

bool ThreadQueue::Hung(Clock::duration after) const {
  if (waiting_.load(std::memory_order_relaxed)) return false;
  auto looked = Deadline(std::chrono::nanoseconds(last_looked_ns_.load(std::memory_order_relaxed)));
  return Clock::now() - looked > after;
}

void ThreadQueue::MarkLooked() { last_looked_ns_.store(NowNs(), std::memory_order_relaxed); }

std::shared_ptr<SentMessage> ThreadQueue::TakeSent() {
  std::lock_guard lock(mutex_);
  if (sent_.empty()) return nullptr;
  auto sent = std::move(sent_.front());
  sent_.pop_front();
  return sent;
}

namespace {

bool TakeFrom(std::deque<MSG>& from, const MessageFilter& filter, bool remove, MSG* out) {
  for (auto it = from.begin(); it != from.end(); ++it) {
    if (!filter.Accepts(*it)) continue;
    *out = *it;
    if (remove) from.erase(it);
    return true;
  }
  return false;
}

}  // namespace

bool ThreadQueue::TakePosted(const MessageFilter& filter, bool remove, MSG* out) {
  std::lock_guard lock(mutex_);
  return TakeFrom(posted_, filter, remove, out);
}

bool ThreadQueue::TakeInput(const MessageFilter& filter, bool remove, MSG* out) {
  std::lock_guard lock(mutex_);
  return TakeFrom(input_, filter, remove, out);
}

bool ThreadQueue::HasPending() {
  std::lock_guard lock(mutex_);
  return !posted_.empty() || !input_.empty() || !sent_.empty();
}

host::WakeEvent::Woken ThreadQueue::Sleep(Deadline deadline, WakeFor wake_for, int descriptor,
                                    const std::function<bool()>& ready) {
  {
    std::lock_guard lock(mutex_);
    bool queued = wake_for == WakeFor::kAnything && (!posted_.empty() || !input_.empty());
    if (queued || !sent_.empty() || (ready && ready())) return host::WakeEvent::Woken::kSignalled;
    if (Clock::now() >= deadline) return host::WakeEvent::Woken::kTimedOut;
    sleeping_ = true;
  }
  waiting_.store(true, std::memory_order_relaxed);
  host::WakeEvent::Woken woken = wake_.Wait(deadline, descriptor);
  waiting_.store(false, std::memory_order_relaxed);
  MarkLooked();
  std::lock_guard lock(mutex_);
  sleeping_ = false;
  return woken;
}

void ThreadQueue::Close() {
  std::deque<std::shared_ptr<SentMessage>> orphans;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    orphans.swap(sent_);
    posted_.clear();
    input_.clear();
  }
  for (auto& sent : orphans) AbandonSent(*sent);
}

Clock::duration HungThreshold() { return RealDuration(5000); }

void ThreadQueue::KillTimers(uint32_t hwnd) {
  std::erase_if(timers, [&](const Timer& t) { return t.hwnd == hwnd; });
}

void AbandonSent(SentMessage& sent) {
  if (sent.remote) {
    sent.remote->connection->Reply(sent.remote->request, ReplyStatus::kInvalidWindow, 0, {});
  } else {
    CompleteSent(sent, 0);
  }
}

void CompleteSent(SentMessage& sent, LRESULT result) {
  sent.result = result;
  sent.done.store(true, std::memory_order_release);
  if (sent.sender) sent.sender->Wake();
}

}  // namespace cedev::gwes


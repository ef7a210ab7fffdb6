#include "session.h"

#include <algorithm>

#include "ce/process.h"
#include "classes.h"
#include "device_folder.h"
#include "host_fork.h"
#include "last_error.h"
#include "process_table.h"
#include "thread_queue.h"

namespace cedev::gwes {
namespace {

// A forked child starts without its parent's threads (the receiver among
// them): it makes a session of its own, and threads' queues of the old one
// are left alone. Nothing of the old session is freed in the child.
std::atomic<uint64_t> g_fork_epoch{1};
std::mutex* g_mutex = new std::mutex;
Session* g_session = nullptr;
// Sessions of devices no longer current: other threads may still hold them.
std::vector<Session*>* g_retired = new std::vector<Session*>;
// The device folder the session belongs to: opening the same folder again
// (Device::Use) keeps the windows that are open on it.
std::string* g_session_dir = new std::string;
uint64_t g_session_epoch = 0;

void ForgetAfterFork() {
  g_mutex = new std::mutex;
  if (g_session) g_retired->push_back(g_session);
  g_session = nullptr;
  g_fork_epoch++;
}

}  // namespace

uint64_t ForkEpoch() { return g_fork_epoch.load(std::memory_order_relaxed); }

Session::Session(Device* device, std::unique_ptr<WindowTable> table)
    : device_(device), table_(std::move(table)), classes_(std::make_unique<ClassRegistry>()), local_(kMaxWindows) {
  RegisterSystemClasses(*classes_);
}

Session* Session::Current() {
  static bool hooked = (host::AtForkChild(ForgetAfterFork), true);
  (void)hooked;
  Device* dev = Device::Current();
  if (!dev) return nullptr;
  std::lock_guard lock(*g_mutex);
  if (g_session && *g_session_dir == dev->Dir().string() && g_session_epoch == ForkEpoch()) return g_session;
  if (g_session && g_session_epoch == ForkEpoch()) g_session->Retire();
  if (g_session) g_retired->push_back(g_session);
  auto table = WindowTable::Open(dev->RunDir());
  if (!table) {
    g_session = nullptr;
    return Fail(ERROR_NOT_READY, static_cast<Session*>(nullptr));
  }
  // Kept for good: other threads may still hold the previous one.
  g_session = new Session(dev, std::move(table));
  *g_session_dir = dev->Dir().string();
  g_session_epoch = ForkEpoch();
  return g_session;
}

std::optional<ProgramClaim> Session::Program() {
  std::lock_guard lock(mutex_);
  if (claim_ || retired_) return claim_;
  int pid = static_cast<int>(GetCurrentProcessId());
  std::string endpoint;
  auto deliver = [this](const RequestHeader& header, std::string payload, const std::shared_ptr<Connection>& connection,
                        bool* replied) { return Deliver(header, std::move(payload), connection, replied); };
  auto receiver = Receiver::Start(deliver, (device_->RunDir() / ("gwes-" + std::to_string(pid))).string(), &endpoint);
  if (!receiver) return std::nullopt;
  uint64_t started = LiveStartTime(pid).value_or(0);
  claim_ = table_->ClaimProgram(pid, started, endpoint,
                                [&](host::RobustMutex* alive) { return receiver->HoldForLife(alive); });
  if (claim_) receiver_ = std::move(receiver);
  return claim_;
}

std::shared_ptr<Window> Session::Local(uint32_t handle) {
  std::lock_guard lock(mutex_);
  const auto& w = local_[SlotOf(handle)];
  return w && w->handle == handle ? w : nullptr;
}

void Session::AddLocal(const std::shared_ptr<Window>& window) {
  std::lock_guard lock(mutex_);
  local_[SlotOf(window->handle)] = window;
}

void Session::RemoveLocal(uint32_t handle) {
  std::lock_guard lock(mutex_);
  auto& w = local_[SlotOf(handle)];
  if (w && w->handle == handle) w.reset();
}

std::shared_ptr<ThreadQueue> Session::Queue(DWORD tid) {
  std::lock_guard lock(mutex_);
  auto it = queues_.find(tid);
  return it == queues_.end() ? nullptr : it->second.lock();
}

void Session::AddQueue(const std::shared_ptr<ThreadQueue>& queue) {
  std::lock_guard lock(mutex_);
  queues_[queue->tid()] = queue;
}

void Session::RemoveQueue(DWORD tid) {
  std::lock_guard lock(mutex_);
  queues_.erase(tid);
}

void Session::Retire() {
  std::unique_ptr<Receiver> receiver;
  std::optional<ProgramClaim> claim;
  {
    std::lock_guard lock(mutex_);
    retired_ = true;
    receiver = std::move(receiver_);
    claim = claim_;
    claim_.reset();
  }
  if (claim) table_->ReleaseProgram(*claim);
  receiver.reset();
}

ReplyStatus Session::Deliver(const RequestHeader& header, std::string payload,
                             const std::shared_ptr<Connection>& connection, bool* replied) {
  std::shared_ptr<Window> window = Local(header.handle);
  if (!window || window->destroyed || !window->queue) return ReplyStatus::kInvalidWindow;
  ThreadQueue& queue = *window->queue;
  switch (static_cast<FrameKind>(header.kind)) {
    case FrameKind::kPost:
    case FrameKind::kInput: {
      MSG msg{ToHwnd(header.handle), header.message, static_cast<WPARAM>(header.wparam),
              static_cast<LPARAM>(header.lparam), GetTickCount(), {0, 0}};
      // The poster hears first: a posted WM_CLOSE may end this program
      // before a reply written afterwards leaves it, and the poster would
      // take a delivered message for a failed one. A window that goes
      // before the message is queued loses it, as any posted message
      // waiting for a window that is destroyed.
      connection->Reply(header.request, ReplyStatus::kOk, 0, {});
      *replied = true;
      if (static_cast<FrameKind>(header.kind) == FrameKind::kPost) {
        queue.Post(msg);
      } else {
        queue.PostInput(msg);
      }
      return ReplyStatus::kOk;
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

std::shared_ptr<Window> LocalWindow(HWND hwnd) {
  Session* session = Session::Current();
  uint32_t handle = HandleValue(hwnd);
  std::shared_ptr<Window> w = session && handle ? session->Local(handle) : nullptr;
  if (!w || w->destroyed) return Fail(ERROR_INVALID_WINDOW_HANDLE, std::shared_ptr<Window>());
  return w;
}

void UnlinkWindow(Session& session, ThreadQueue& queue, Window& w) {
  SetNeedsPaint(w, false, false);
  queue.KillTimers(w.handle);
  std::erase(queue.windows, w.handle);
  std::erase(queue.open_dialogs, w.handle);
  if (std::shared_ptr<Window> parent = w.parent ? session.Local(w.parent) : nullptr) {
    std::erase(parent->children, w.handle);
  }
  if (queue.focus == w.handle) queue.focus = 0;
  if (queue.active == w.handle) queue.active = 0;
  if (queue.capture == w.handle) queue.capture = 0;
  session.table().Remove(w.handle);
  session.RemoveLocal(w.handle);
  w.destroyed = true;
}

void EndThreadWindows(ThreadQueue& queue) {
  Session& session = *queue.session();
  std::vector<uint32_t> windows = queue.windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (auto w = session.Local(*it)) UnlinkWindow(session, queue, *w);
  }
  queue.timers.clear();
  queue.Close();
  session.RemoveQueue(queue.tid());
}

namespace {

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  uint64_t epoch = 0;
  ~QueueHolder() {
    if (queue && epoch == ForkEpoch()) EndThreadWindows(*queue);
  }
};

thread_local QueueHolder t_holder;

}  // namespace

DWORD CurrentThreadId() {
  thread_local uint64_t epoch = 0;
  thread_local DWORD tid = 0;
  if (epoch != ForkEpoch()) {
    tid = GetCurrentThreadId();
    epoch = ForkEpoch();
  }
  return tid;
}

std::shared_ptr<ThreadQueue> CurrentQueueShared() {
  Session* session = Session::Current();
  if (!session) return nullptr;
  if (!t_holder.queue || t_holder.queue->session() != session || t_holder.epoch != ForkEpoch()) {
    if (t_holder.queue && t_holder.epoch == ForkEpoch()) EndThreadWindows(*t_holder.queue);
    t_holder.queue = std::make_shared<ThreadQueue>(session, CurrentThreadId());
    t_holder.epoch = ForkEpoch();
    session->AddQueue(t_holder.queue);
  }
  return t_holder.queue;
}

ThreadQueue* CurrentQueue() { return CurrentQueueShared().get(); }

}  // namespace cedev::gwes

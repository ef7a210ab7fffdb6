#include "session.h"

#include "ce/process.h"
#include "classes.h"
#include "device_folder.h"
#include "host_fork.h"
#include "last_error.h"
#include "process_table.h"
#include "receiver.h"
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
  auto receiver = Receiver::Start(this, (device_->RunDir() / ("gwes-" + std::to_string(pid))).string(), &endpoint);
  if (!receiver) return std::nullopt;
  uint64_t started = LiveStartTime(pid).value_or(0);
  claim_ = table_->ClaimProgram(pid, started, endpoint, [&](host::RobustMutex* alive) { return receiver->HoldForLife(alive); });
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

std::shared_ptr<Window> LocalWindow(HWND hwnd) {
  Session* session = Session::Current();
  uint32_t handle = HandleValue(hwnd);
  std::shared_ptr<Window> w = session && handle ? session->Local(handle) : nullptr;
  if (!w || w->destroyed) return Fail(ERROR_INVALID_WINDOW_HANDLE, std::shared_ptr<Window>());
  return w;
}

}  // namespace cedev::gwes

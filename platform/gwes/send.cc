#include "send.h"

#include "clock.h"
#include "last_error.h"
#include "connection.h"
#include "marshal.h"
#include "remote_client.h"
#include "private_messages.h"
#include "session.h"

namespace cedev::gwes {
namespace {

// While a thread serves a message from elsewhere, InSendMessage says so and
// window procedures can tell a message from another program.
class ServingScope {
 public:
  ServingScope(ThreadQueue& queue, bool other_program)
      : queue_(queue), was_other_program_(queue.serving_other_program) {
    queue_.serving_sent++;
    queue_.serving_other_program = other_program;
  }
  ~ServingScope() {
    queue_.serving_sent--;
    queue_.serving_other_program = was_other_program_;
  }
  ServingScope(const ServingScope&) = delete;
  ServingScope& operator=(const ServingScope&) = delete;

 private:
  ThreadQueue& queue_;
  bool was_other_program_;
};

void ServeRemote(ThreadQueue& queue, SentMessage& sent) {
  std::shared_ptr<Window> window = queue.session()->Local(sent.hwnd);
  RemoteRequest& remote = *sent.remote;
  if (!window || window->destroyed) {
    remote.connection->Reply(remote.request, ReplyStatus::kInvalidWindow, 0, {});
    return;
  }
  std::string reply;
  LRESULT result;
  {
    ServingScope scope(queue, true);
    result = CallUnpacked(sent.message, sent.wparam, sent.lparam, remote.payload,
                          [&](UINT m, WPARAM w, LPARAM l) { return CallWindow(window, m, w, l); }, &reply);
  }
  remote.connection->Reply(remote.request, ReplyStatus::kOk, result, reply);
}

// Waits for another thread of this program to answer, serving what is sent
// to this thread meanwhile.
bool AwaitAnswer(ThreadQueue& self, ThreadQueue& target, SentMessage& sent, UINT flags, Deadline deadline) {
  const auto hung_after = HungThreshold();
  for (;;) {
    if (sent.done.load(std::memory_order_acquire)) return true;
    if (ServeOneSent(self)) continue;
    if ((flags & SMTO_ABORTIFHUNG) && target.Hung(hung_after)) return Fail(ERROR_TIMEOUT, false);
    Deadline wake = (flags & SMTO_ABORTIFHUNG) ? std::min(deadline, Clock::now() + hung_after) : deadline;
    auto woken = self.Sleep(wake, ThreadQueue::WakeFor::kSentOnly, -1,
                            [&] { return sent.done.load(std::memory_order_acquire); });
    if (woken == host::WakeEvent::Woken::kTimedOut && Clock::now() >= deadline &&
        !sent.done.load(std::memory_order_acquire)) {
      return Fail(ERROR_TIMEOUT, false);
    }
  }
}

bool SendToThread(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam, UINT flags,
                  Deadline deadline, LRESULT* result) {
  auto self = CurrentQueueShared();
  if (!self) return false;
  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = window->handle;
  sent->message = message;
  sent->wparam = wparam;
  sent->lparam = lparam;
  sent->sender = self;
  if ((flags & SMTO_ABORTIFHUNG) && window->queue->Hung(HungThreshold())) return Fail(ERROR_TIMEOUT, false);
  if (!window->queue->Deliver(sent)) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  if (!AwaitAnswer(*self, *window->queue, *sent, flags, deadline)) return false;
  *result = sent->result;
  return true;
}

// Sends to another program and waits for its reply, serving what is sent
// to this thread meanwhile (so two programs sending to each other do not
// deadlock).
bool SendRemote(const RemoteTarget& target, UINT message, WPARAM wparam, LPARAM lparam, uint32_t flags,
                Deadline deadline, LRESULT* result) {
  std::string payload;
  if (!PackRequest(message, wparam, lparam, &payload)) return false;
  RequestHeader header = RequestFor(FrameKind::kSend, target, message, wparam, lparam, flags, payload.size());
  ThreadQueue* self = CurrentQueue();
  if (!self) return false;
  int fd = SendRequest(target, header, payload);
  if (fd < 0) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  for (;;) {
    if (ServeOneSent(*self)) continue;
    host::WakeEvent::Woken woken = self->Sleep(deadline, ThreadQueue::WakeFor::kSentOnly, fd);
    if (woken == host::WakeEvent::Woken::kTimedOut) return Fail(ERROR_TIMEOUT, false);
    if (woken != host::WakeEvent::Woken::kDescriptorReady) continue;
    ReplyHeader reply;
    std::string data;
    ReplyRead read = ReadReply(fd, header.request, &reply, &data);
    if (read == ReplyRead::kStale) continue;
    if (read == ReplyRead::kClosed) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
    if (!Succeeded(static_cast<ReplyStatus>(reply.status))) return false;
    UnpackReply(message, wparam, lparam, static_cast<LRESULT>(reply.result), data);
    *result = static_cast<LRESULT>(reply.result);
    return true;
  }
}

bool SendToOtherProgram(Session& session, uint32_t handle, UINT message, WPARAM wparam, LPARAM lparam, UINT flags,
                        Deadline deadline, LRESULT* result) {
  auto program = session.table().ProgramOf(handle);
  if (!program) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  RemoteTarget target{handle, program->first, program->second};
  return SendRemote(target, message, wparam, lparam, (flags & SMTO_ABORTIFHUNG) ? kAbortIfHung : 0, deadline, result);
}

}  // namespace

LRESULT CallWindow(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!window || window->destroyed) return 0;
  if (IsPrivateMessage(message)) return HandlePrivateMessage(window, message, wparam, lparam);
  return CallProc(window, message, wparam, lparam);
}

LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Session* session = Session::Current();
  return session ? CallWindow(session->Local(HandleValue(hwnd)), message, wparam, lparam) : 0;
}

bool SendToWindow(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT flags, Deadline deadline,
                  LRESULT* result) {
  Session* session = Session::Current();
  if (!session) return false;
  uint32_t handle = HandleValue(hwnd);
  if (!handle) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  if (std::shared_ptr<Window> window = session->Local(handle)) {
    if (window->destroyed) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
    if (window->tid == CurrentThreadId()) {
      // A message of this program, even one sent while handling another
      // program's: the window answers it as its own program's.
      ThreadQueue& queue = *window->queue;
      bool was_other_program = queue.serving_other_program;
      queue.serving_other_program = false;
      *result = CallWindow(window, message, wparam, lparam);
      queue.serving_other_program = was_other_program;
      return true;
    }
    return SendToThread(window, message, wparam, lparam, flags, deadline, result);
  }
  return SendToOtherProgram(*session, handle, message, wparam, lparam, flags, deadline, result);
}

bool ServeOneSent(ThreadQueue& queue) {
  std::shared_ptr<SentMessage> sent = queue.TakeSent();
  if (!sent) return false;
  if (sent->remote) {
    ServeRemote(queue, *sent);
    return true;
  }
  LRESULT result;
  {
    ServingScope scope(queue, false);
    result = CallWindow(queue.session()->Local(sent->hwnd), sent->message, sent->wparam, sent->lparam);
  }
  CompleteSent(*sent, result);
  return true;
}

}  // namespace cedev::gwes

#include "message_loop.h"

#include "ce/process.h"

#include "auto_user.h"
#include "keyboard.h"
#include "send.h"
#include "session.h"
#include "timers.h"

namespace cedev::gwes {
namespace {

bool TakePaint(ThreadQueue& queue, const MessageFilter& filter, MSG* out) {
  if (queue.paint_count <= 0 || !filter.AcceptsMessage(WM_PAINT)) return false;
  for (uint32_t handle : queue.windows) {
    std::shared_ptr<Window> w = queue.session()->Local(handle);
    if (!w || !w->needs_paint) continue;
    MSG msg{w->hwnd(), WM_PAINT, 0, 0, GetTickCount(), {0, 0}};
    if (!filter.Accepts(msg)) continue;
    *out = msg;
    return true;
  }
  return false;
}

bool TakeQuit(ThreadQueue& queue, bool remove, MSG* out) {
  if (!queue.quit) return false;
  *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quit_code), 0, GetTickCount(), {0, 0}};
  if (remove) queue.quit = false;
  return true;
}

void NoteRetrieved(ThreadQueue& queue, const MSG& msg) {
  queue.message_time = msg.time;
  queue.message_pos = static_cast<uint32_t>(MAKELONG(msg.pt.x, msg.pt.y));
}

}  // namespace

bool FetchMessage(ThreadQueue& queue, const MessageFilter& filter, bool remove, MSG* out) {
  queue.MarkLooked();
  for (int round = 0; round < 2; ++round) {
    while (ServeOneSent(queue)) {
    }
    bool got = queue.TakePosted(filter, remove, out);
    if (!got && queue.TakeInput(filter, remove, out)) {
      TargetInput(queue, out);
      if (remove) NoteInput(queue, *out);
      got = true;
    }
    got = got || TakeQuit(queue, remove, out) || TakePaint(queue, filter, out) || TakeTimer(queue, filter, remove, out);
    if (got) {
      if (remove) NoteRetrieved(queue, *out);
      return true;
    }
    // The automatic device user acts by posting to the window it presses.
    if (!ActAsAutoUser(queue)) break;
  }
  return false;
}

void IdleUntil(ThreadQueue& queue, Deadline deadline) {
  Deadline wake = std::min({deadline, NextTimerDue(queue), AutoUserDue(queue)});
  queue.Sleep(wake, ThreadQueue::WakeFor::kAnything);
}

}  // namespace cedev::gwes

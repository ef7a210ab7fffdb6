#include "timers.h"

#include "ce/process.h"

#include <algorithm>

#include "clock.h"
#include "last_error.h"
#include "session.h"

namespace cedev::gwes {

// The shortest period the device keeps (USER_TIMER_MINIMUM).
constexpr UINT kMinimumPeriodMs = 10;

bool TakeTimer(ThreadQueue& queue, const MessageFilter& filter, bool remove, MSG* out) {
  if (!filter.AcceptsMessage(WM_TIMER)) return false;
  Deadline now = Clock::now();
  Timer* due = nullptr;
  for (Timer& t : queue.timers) {
    if (t.due > now || (due && due->due <= t.due)) continue;
    MSG probe{ToHwnd(t.hwnd), WM_TIMER, t.id, 0, 0, {0, 0}};
    if (filter.Accepts(probe)) due = &t;
  }
  if (!due) return false;
  *out = MSG{ToHwnd(due->hwnd), WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), GetTickCount(), {0, 0}};
  if (remove) due->due = now + due->period;
  return true;
}

Deadline NextTimerDue(const ThreadQueue& queue) {
  Deadline next = Deadline::max();
  for (const Timer& t : queue.timers) next = std::min(next, t.due);
  return next;
}

bool IsTimerOf(const ThreadQueue& queue, uint32_t hwnd, UINT_PTR id, TIMERPROC proc) {
  return std::any_of(queue.timers.begin(), queue.timers.end(),
                     [&](const Timer& t) { return t.hwnd == hwnd && t.id == id && t.proc == proc; });
}

}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return 0;
  uint32_t hwnd = HandleValue(hWnd);
  if (hWnd) {
    std::shared_ptr<Window> window = LocalWindow(hWnd);
    if (!window) return 0;
    if (window->tid != queue->tid()) return Fail(ERROR_ACCESS_DENIED, UINT_PTR{0});
  } else {
    // A timer without a window gets an id of its own.
    nIDEvent = ++queue->next_thread_timer;
  }
  auto period = cedev::RealDuration(std::max(uElapse, kMinimumPeriodMs));
  for (Timer& t : queue->timers) {
    if (t.hwnd == hwnd && t.id == nIDEvent) {
      t.proc = lpTimerFunc;
      t.period = period;
      t.due = Clock::now() + period;
      return hWnd ? (nIDEvent ? nIDEvent : 1) : nIDEvent;
    }
  }
  queue->timers.push_back(Timer{hwnd, nIDEvent, lpTimerFunc, period, Clock::now() + period});
  return hWnd ? (nIDEvent ? nIDEvent : 1) : nIDEvent;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return FALSE;
  uint32_t hwnd = HandleValue(hWnd);
  if (hWnd && !LocalWindow(hWnd)) return FALSE;
  size_t removed = std::erase_if(queue->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == uIDEvent; });
  return removed ? TRUE : Fail(ERROR_INVALID_PARAMETER, FALSE);
}

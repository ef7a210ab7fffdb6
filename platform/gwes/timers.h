// Timers of a thread: WM_TIMER comes when the thread has nothing else to
// do, once for however many periods passed meanwhile, and the next one a
// whole period after it was taken. Periods go through the device's time scale.
#pragma once

#include "thread_queue.h"

namespace cedev::gwes {

bool TakeTimer(ThreadQueue& queue, const MessageFilter& filter, bool remove, MSG* out);
// When the thread's next timer comes due (Deadline::max() without timers).
Deadline NextTimerDue(const ThreadQueue& queue);
bool IsTimerOf(const ThreadQueue& queue, uint32_t hwnd, UINT_PTR id, TIMERPROC proc);

}  // namespace cedev::gwes

// The one place that decides which message a thread gets next: messages
// sent to it are served first, then come posted messages, input, quit,
// WM_PAINT and WM_TIMER. GetMessageW, PeekMessageW, WaitMessage and the
// modal loops of dialogs and message boxes are all made of these two steps.
#pragma once

#include "thread_queue.h"
#include "window.h"

namespace cedev::gwes {

// Takes (or with remove false, looks at) the next message the filter
// accepts; false when there is none now.
bool FetchMessage(ThreadQueue& queue, const MessageFilter& filter, bool remove, MSG* out);
// Sleeps until the thread may have a message (a timer coming due or the
// automatic device user's turn end the sleep too), or the deadline.
void IdleUntil(ThreadQueue& queue, Deadline deadline);

}  // namespace cedev::gwes

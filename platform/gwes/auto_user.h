// The automatic device user (the device setting `user auto`): every dialog
// and message box a thread has open longer than the setting's delay gets
// its default button (a message box) or OK, else close (a dialog) pressed,
// through the window's own messages, and the press goes to the journal.
// Answers from a test's answerer or a script come first: they press before
// the delay runs out.
#pragma once

#include "thread_queue.h"

namespace cedev::gwes {

// When the thread's automatic user should look again (Deadline::max() with
// no dialog open).
Deadline AutoUserDue(ThreadQueue& queue);
// Presses what has come due; true when it pressed something.
bool ActAsAutoUser(ThreadQueue& queue);
// A dialog or box of this thread opened (or closed).
void NoteDialogOpened(ThreadQueue& queue, uint32_t dialog);

}  // namespace cedev::gwes

// Calling window procedures and sending messages: directly on the window's
// own thread, through the queue of another thread of this program, or over
// the endpoint of another program. All sends go through SendToWindow.
#pragma once

#include <memory>

#include "ce/user.h"
#include "thread_queue.h"
#include "window.h"

namespace cedev::gwes {

// Calls the window's procedure on this (its own) thread, or carries out a
// private message; 0 for a window that has gone.
LRESULT CallWindow(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// The one path of SendMessageW and its relatives. `deadline` bounds the wait
// for another thread or program. False with the last error set.
bool SendToWindow(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT flags, Deadline deadline,
                  LRESULT* result);

// Handles one message other threads or programs sent to this thread; false
// when none waits.
bool ServeOneSent(ThreadQueue& queue);

}  // namespace cedev::gwes

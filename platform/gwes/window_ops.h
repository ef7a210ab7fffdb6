// What the window API does to a window of the calling thread. A call on a
// window of another thread or program is carried there as a private message
// (private_messages.h), which that window's thread turns into the same
// operation.
#pragma once

#include <memory>

#include "session.h"
#include "thread_queue.h"
#include "window.h"

namespace cedev::gwes {

bool ShowOnThread(const std::shared_ptr<Window>& window, int command);
bool EnableOnThread(const std::shared_ptr<Window>& window, bool enable);
bool PlaceOnThread(const std::shared_ptr<Window>& window, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
// Makes a top-level window its thread's active window: WM_ACTIVATE to the
// one before (WA_INACTIVE) and to it (WA_ACTIVE), which takes the focus.
void Activate(const std::shared_ptr<Window>& window);
// Raises a top-level window to the top of the device's windows and makes it
// the foreground window.
void BringToForeground(Session& session, const Window& window);
// WM_KILLFOCUS to the old focus and WM_SETFOCUS to the new one.
HWND SetFocusOnThread(ThreadQueue& queue, const std::shared_ptr<Window>& window);
void DestroyOnThread(const std::shared_ptr<Window>& window);

// The top-level window a window of this program lies in.
std::shared_ptr<Window> TopLevelOf(Session& session, std::shared_ptr<Window> window);
// Whether `handle` is `ancestor` or lies inside it (windows of this program).
bool InsideOf(Session& session, uint32_t ancestor, uint32_t handle);

// A window of this program on the calling thread, else null. `foreign` says
// whether the handle is a live window elsewhere (another thread or program).
std::shared_ptr<Window> OwnThreadWindow(HWND hwnd, bool* elsewhere);

}  // namespace cedev::gwes

namespace cedev::gwes {

// Any window of the device (the desktop too) as the window table has it;
// nothing, with ERROR_INVALID_WINDOW_HANDLE, for a handle that is none.
std::optional<WindowRecord> DescribeWindow(HWND hwnd);
// The screen position of a window's client area.
POINT ClientOrigin(uint32_t handle);

}  // namespace cedev::gwes

namespace cedev::gwes {

// DefWindowProcW's handling, for callers that hold the window already.
LRESULT DefaultWindowMessage(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace cedev::gwes

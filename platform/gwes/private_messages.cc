#include "private_messages.h"

#include "dialog_state.h"
#include "message_box.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

// A message box's button, pressed for one of the ways of answering; the box
// notes who pressed it for the journal.
LRESULT PressBoxButton(const std::shared_ptr<Window>& box, WPARAM id, LPARAM by) {
  MessageBoxState* state = box->dialog ? box->dialog->box.get() : nullptr;
  if (!state) return 0;
  state->answered_by = AnswererName(static_cast<BoxAnswerer>(by));
  HWND button = GetDlgItem(box->hwnd(), static_cast<int>(id));
  return SendMessageW(box->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace

bool IsPrivateMessage(UINT message) { return message >= kPrivateShow && message <= kPrivateBoxAnswer; }

LRESULT HandlePrivateMessage(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kPrivateShow:
      return ShowOnThread(window, static_cast<int>(wparam));
    case kPrivateEnable:
      return EnableOnThread(window, wparam != 0);
    case kPrivateMove:
      return PlaceOnThread(window, nullptr, HighOf(wparam), LowOf(wparam), HighOf(static_cast<uint64_t>(lparam)),
                           LowOf(static_cast<uint64_t>(lparam)), SWP_NOZORDER | SWP_NOACTIVATE);
    case kPrivateActivate:
      if (!window->parent) Activate(window);
      return TRUE;
    case kPrivateInvalidate:
      SetNeedsPaint(*window, true, wparam != 0);
      return TRUE;
    case kPrivateBoxAnswer:
      return PressBoxButton(window, wparam, lparam);
    default:
      return 0;
  }
}

}  // namespace cedev::gwes

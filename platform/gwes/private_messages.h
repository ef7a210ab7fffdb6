// Messages the window system sends itself: an operation on a window of
// another thread or program (showing, enabling, moving, activating,
// invalidating it, pressing a message box's button) travels to the window's
// thread as one of these, and that thread carries it out before any window
// procedure sees it. They lie below WM_USER, above anything the device
// defines.
#pragma once

#include <memory>

#include "ce/user.h"
#include "window.h"

namespace cedev::gwes {

constexpr UINT kPrivateShow = 0x03F0;        // wParam: SW_*; result: was visible
constexpr UINT kPrivateEnable = 0x03F1;      // wParam: enable; result: was disabled
constexpr UINT kPrivateMove = 0x03F2;        // wParam: x, y; lParam: cx, cy (32 bits each)
constexpr UINT kPrivateActivate = 0x03F3;    // makes the window its thread's active window
constexpr UINT kPrivateInvalidate = 0x03F4;  // wParam: erase
// Presses a message box's button and says who did: wParam the button id,
// lParam a BoxAnswerer (message_box.h).
constexpr UINT kPrivateBoxAnswer = 0x03F5;

bool IsPrivateMessage(UINT message);
// Carries out a private message on the window's own thread.
LRESULT HandlePrivateMessage(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam);

// The two 32-bit halves kPrivateMove packs into a parameter.
inline uint64_t PackPair(int32_t high, int32_t low) {
  return (uint64_t{static_cast<uint32_t>(high)} << 32) | static_cast<uint32_t>(low);
}
inline int32_t HighOf(uint64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v >> 32)); }
inline int32_t LowOf(uint64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

}  // namespace cedev::gwes

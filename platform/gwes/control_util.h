// What the device's controls share: telling the parent (WM_COMMAND with a
// notification code) and finding their own state.
#pragma once

#include <memory>

#include "ce/commctrl.h"
#include "ce/user.h"
#include "window.h"

namespace cedev::gwes {

inline void Notify(const Window& control, WORD code) {
  if (!control.parent) return;
  SendMessageW(ToHwnd(control.parent), WM_COMMAND, MAKEWPARAM(control.id, code),
               reinterpret_cast<LPARAM>(control.hwnd()));
}

// The control's own state, made on first use.
template <class Data>
Data& DataOf(Window& control) {
  if (!control.control) control.control = std::make_unique<Data>();
  return static_cast<Data&>(*control.control);
}

}  // namespace cedev::gwes

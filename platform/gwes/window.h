// A window of this program: what its owning thread and the window
// procedures keep about it. What other programs may read is mirrored into
// the device's window table (Publish*), the one copy they see.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ce/user.h"
#include "window_handle.h"

namespace cedev::gwes {

class ThreadQueue;
class WindowTable;
struct WindowClass;
struct DialogState;

// Per-control state that a control's window procedure keeps (edit text,
// combo box items ...).
class ControlData {
 public:
  virtual ~ControlData() = default;
};

struct Window {
  uint32_t handle = 0;
  std::shared_ptr<WindowClass> window_class;
  std::shared_ptr<ThreadQueue> queue;  // the creating thread's
  WindowTable* table = nullptr;         // where the window is listed for everyone
  DWORD tid = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD ex_style = 0;
  UINT id = 0;
  HMENU menu = nullptr;
  uint32_t parent = 0;  // 0 for a top-level window
  uint32_t owner = 0;
  std::vector<uint32_t> children;  // in creation order
  RECT rect{};  // in the parent's client area (screen for top-level)
  std::u16string text;
  LONG_PTR user_data = 0;
  std::vector<uint8_t> extra;  // cbWndExtra bytes
  HICON icon_small = nullptr;
  HICON icon_big = nullptr;
  HFONT font = nullptr;
  bool needs_paint = false;
  bool erase = false;
  bool destroying = false;
  bool destroyed = false;
  std::unique_ptr<DialogState> dialog;
  std::unique_ptr<ControlData> control;

  bool Visible() const { return style & WS_VISIBLE; }
  bool Enabled() const { return !(style & WS_DISABLED); }
  bool IsChild() const { return parent != 0 && (style & WS_CHILD); }
  HWND hwnd() const { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }
  ~Window();
};

// The client area's place inside the window rectangle for the styles.
RECT ClientInset(DWORD style, DWORD ex_style);
// The client rectangle from (0, 0).
RECT ClientRectOf(const Window& w);

// Calls the window's procedure (the window is its caller's thread's).
LRESULT CallProc(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam);

// Marks a window as needing WM_PAINT, or as painted.
void SetNeedsPaint(Window& window, bool needs, bool erase);

// Mirrors the window's state into the device's window table.
void PublishGeometry(const Window& w);
void PublishStyle(const Window& w);
void PublishText(const Window& w, std::u16string_view shown);
void PublishFocus(WindowTable& table, uint32_t handle, bool focused);
void PublishChecked(const Window& w, uint32_t checked);

}  // namespace cedev::gwes

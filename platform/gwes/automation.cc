// The automation API: reading the window table and acting through the
// windows' own messages.
#include "ce/automation.h"

#include <chrono>
#include <thread>

#include "ce/device.h"
#include "clock.h"
#include "last_error.h"
#include "session.h"
#include "window_ops.h"

namespace cedev::automation {
namespace {

using gwes::HandleValue;
using gwes::ToHwnd;

WindowInfo InfoOf(const gwes::WindowRecord& r, uint32_t foreground) {
  WindowInfo info;
  info.hwnd = ToHwnd(r.handle);
  info.pid = r.pid;
  info.tid = r.tid;
  info.parent = ToHwnd(r.parent);
  info.owner = ToHwnd(r.owner);
  info.id = r.id;
  info.class_name = r.class_name;
  info.text = r.text;
  info.style = r.style;
  info.ex_style = r.ex_style;
  info.enabled = r.flags & gwes::kEnabled;
  info.visible = r.flags & gwes::kVisible;
  info.focused = r.flags & gwes::kFocused;
  info.foreground = r.handle == foreground;
  info.checked = r.checked;
  info.dialog = r.flags & gwes::kDialog;
  info.message_box = r.flags & gwes::kMessageBox;
  POINT origin = gwes::ClientOrigin(r.parent);
  info.rect = RECT{origin.x + r.x, origin.y + r.y, origin.x + r.x + r.cx, origin.y + r.y + r.cy};
  return info;
}

void AddItems(gwes::Session& session, uint32_t parent, uint32_t foreground, std::vector<WindowInfo>* out) {
  for (const auto& child : session.table().Children(parent)) {
    out->push_back(InfoOf(child, foreground));
    AddItems(session, child.handle, foreground, out);
  }
}

bool SendTimed(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kActionTimeoutMs, &answer)) return false;
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

template <class Done>
bool Await(DWORD timeout_ms, Done done) {
  auto until = std::chrono::steady_clock::now() + RealDuration(timeout_ms);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= until) return Fail(ERROR_TIMEOUT, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool ChooseIndex(HWND combo, LRESULT index) {
  auto r = gwes::DescribeWindow(combo);
  if (!r) return false;
  LRESULT chosen = CB_ERR;
  if (!SendTimed(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &chosen)) return false;
  if (chosen == CB_ERR) return Fail(ERROR_NOT_FOUND, false);
  // The parent hears of a choice as it would of a person's.
  return !r->parent || SendTimed(ToHwnd(r->parent), WM_COMMAND, MAKEWPARAM(r->id, CBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(combo));
}

}  // namespace

std::vector<WindowInfo> ListWindows() {
  gwes::Session* session = gwes::Session::Current();
  std::vector<WindowInfo> out;
  if (!session) return out;
  uint32_t foreground = session->table().Foreground();
  for (const auto& top : session->table().TopLevel()) out.push_back(InfoOf(top, foreground));
  return out;
}

std::vector<WindowInfo> ListItems(HWND window) {
  gwes::Session* session = gwes::Session::Current();
  std::vector<WindowInfo> out;
  if (!session || !gwes::DescribeWindow(window)) return out;
  AddItems(*session, HandleValue(window), session->table().Foreground(), &out);
  return out;
}

std::optional<WindowInfo> Describe(HWND window) {
  gwes::Session* session = gwes::Session::Current();
  auto r = gwes::DescribeWindow(window);
  if (!session || !r) return std::nullopt;
  return InfoOf(*r, session->table().Foreground());
}

HWND Find(LPCWSTR class_name, LPCWSTR title) { return FindWindowW(class_name, title); }

HWND WaitForWindow(LPCWSTR class_name, LPCWSTR title, DWORD timeout_ms) {
  HWND found = nullptr;
  bool shown = Await(timeout_ms, [&] { return (found = FindWindowW(class_name, title)) && IsWindowVisible(found); });
  return shown ? found : nullptr;
}

bool WaitForForeground(HWND window, DWORD timeout_ms) {
  return Await(timeout_ms, [&] { return GetForegroundWindow() == window; });
}

bool WaitUntilGone(HWND window, DWORD timeout_ms) {
  return Await(timeout_ms, [&] { return !IsWindow(window); });
}

bool Type(HWND edit, std::u16string_view text) {
  if (!gwes::DescribeWindow(edit)) return false;
  for (char16_t unit : text) {
    if (!SendTimed(edit, WM_CHAR, unit, 1)) return false;
  }
  return true;
}

bool SetText(HWND control, std::u16string_view text) {
  std::u16string copy(text);
  LRESULT result = 0;
  return SendTimed(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()), &result) && result;
}

bool Select(HWND combo, std::u16string_view item) {
  std::u16string copy(item);
  LRESULT index = CB_ERR;
  if (!SendTimed(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(copy.c_str()), &index)) {
    return false;
  }
  if (index == CB_ERR) return Fail(ERROR_NOT_FOUND, false);
  return ChooseIndex(combo, index);
}

bool SelectIndex(HWND combo, int index) { return ChooseIndex(combo, index); }

std::vector<std::u16string> ComboItems(HWND combo) {
  std::vector<std::u16string> items;
  LRESULT count = 0;
  if (!SendTimed(combo, CB_GETCOUNT, 0, 0, &count)) return items;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = 0;
    if (!SendTimed(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, &length) || length < 0) break;
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    if (!SendTimed(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()))) break;
    text.resize(static_cast<size_t>(length));
    items.push_back(text);
  }
  return items;
}

bool Press(HWND button) {
  auto r = gwes::DescribeWindow(button);
  if (!r) return false;
  if (!(r->flags & gwes::kEnabled)) return Fail(ERROR_ACCESS_DENIED, false);
  return SendTimed(button, BM_CLICK, 0, 0);
}

bool PressItem(HWND window, int id) {
  if (!gwes::DescribeWindow(window)) return false;
  DWORD error = GetLastError();
  if (HWND button = GetDlgItem(window, id)) return Press(button);
  SetLastError(error);
  return SendTimed(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool Close(HWND window) { return gwes::DescribeWindow(window) && PostMessageW(window, WM_CLOSE, 0, 0); }

void SendKey(BYTE vk, UINT modifiers) {
  const std::pair<UINT, BYTE> kModifiers[] = {{kShift, VK_SHIFT}, {kControl, VK_CONTROL}, {kAlt, VK_MENU}};
  for (const auto& [flag, key] : kModifiers) {
    if (modifiers & flag) keybd_event(key, 0, 0, 0);
  }
  keybd_event(vk, 0, 0, 0);
  keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
  for (const auto& [flag, key] : kModifiers) {
    if (modifiers & flag) keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
  }
}

}  // namespace cedev::automation

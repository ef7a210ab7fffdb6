// Operating the device's windows from outside the program that owns them:
// what tests, tools (cedev) and the automatic device user use. Everything
// here goes through the window table and the windows' own messages, so a
// program cannot tell an automated press from a person's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/user.h"

namespace cedev::automation {

// One window as the device shows it.
struct WindowInfo {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  DWORD tid = 0;
  HWND parent = nullptr;  // for a control; null for a top-level window
  HWND owner = nullptr;
  UINT id = 0;
  std::u16string class_name;
  std::u16string text;  // as shown: a password as its mask, an icon item as U+FFFF and its id
  DWORD style = 0;
  DWORD ex_style = 0;
  bool enabled = false;
  bool visible = false;
  bool focused = false;     // has its thread's focus
  bool foreground = false;  // is the device's foreground window
  UINT checked = 0;         // BST_* of a check box or radio button
  bool dialog = false;      // a dialog (class "Dialog")
  bool message_box = false;
  RECT rect{};  // in device pixels on the screen, for the current orientation
};

// Top-level windows of every program, topmost first.
std::vector<WindowInfo> ListWindows();
// A window's controls, and theirs, in creation order.
std::vector<WindowInfo> ListItems(HWND window);
std::optional<WindowInfo> Describe(HWND window);

// As FindWindowW: null class or title matches any.
HWND Find(LPCWSTR class_name, LPCWSTR title);
// Waits (device milliseconds) until such a window is there and shown; null
// on time-out.
HWND WaitForWindow(LPCWSTR class_name, LPCWSTR title, DWORD timeout_ms);
// Waits until the window is the device's foreground window.
bool WaitForForeground(HWND window, DWORD timeout_ms);
// Waits until the window has gone; false on time-out.
bool WaitUntilGone(HWND window, DWORD timeout_ms);

// The actions below send to the window's program and give up on one that
// does not answer within kActionTimeoutMs. False with the last error set.
constexpr DWORD kActionTimeoutMs = 5000;

// Types into an edit, character by character, as keys would.
bool Type(HWND edit, std::u16string_view text);
// Replaces a control's text.
bool SetText(HWND control, std::u16string_view text);
// Chooses the combo box item with the text (compared without regard to
// case), and tells the combo box's parent as a person's choice would
// (CBN_SELCHANGE). ERROR_NOT_FOUND when it has no such item.
bool Select(HWND combo, std::u16string_view item);
bool SelectIndex(HWND combo, int index);
// The texts of a combo box's items.
std::vector<std::u16string> ComboItems(HWND combo);
// Presses a button (BM_CLICK); ERROR_ACCESS_DENIED for a disabled one.
bool Press(HWND button);
// Presses the dialog's button with the id; a window without such a button
// gets the command (WM_COMMAND with the id), as from its menu.
bool PressItem(HWND window, int id);
// Asks the window to close (WM_CLOSE).
bool Close(HWND window);

// Keys for the foreground window, as keybd_event gives them.
enum Modifier : UINT { kShift = 1, kControl = 2, kAlt = 4 };
void SendKey(BYTE vk, UINT modifiers = 0);

}  // namespace cedev::automation

// The dialog manager's keyboard handling (IsDialogMessageW) and the order
// in which the focus moves through a dialog's controls.
#include <vector>

#include "dialogs.h"
#include "keyboard.h"
#include "last_error.h"
#include "session.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

bool Reachable(const WindowRecord& r) { return (r.flags & kVisible) && (r.flags & kEnabled); }

// A dialog's controls in creation order.
std::vector<WindowRecord> Controls(HWND dialog) {
  Session* session = Session::Current();
  return session ? session->table().Children(HandleValue(dialog)) : std::vector<WindowRecord>{};
}

// The next (or previous) of the controls that pass `accepts`, after `from`
// and round the end; `from` itself when no other does.
HWND Step(HWND dialog, HWND from, bool previous, bool (*accepts)(const WindowRecord&)) {
  std::vector<WindowRecord> controls = Controls(dialog);
  if (controls.empty()) return nullptr;
  int n = static_cast<int>(controls.size());
  int at = -1;
  for (int i = 0; i < n; ++i) {
    if (controls[i].handle == HandleValue(from)) at = i;
  }
  for (int step = 1; step <= n; ++step) {
    int i = at < 0 ? (previous ? n - step : step - 1) : ((at + (previous ? -step : step)) % n + n) % n;
    if (accepts(controls[i])) return ToHwnd(controls[i].handle);
  }
  return from;
}

bool IsTabStop(const WindowRecord& r) { return Reachable(r) && (r.style & WS_TABSTOP); }
bool IsAnyReachable(const WindowRecord& r) { return Reachable(r); }

void Press(HWND dialog, int id, HWND control) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// Enter: the focused push button, else the default one, else IDOK.
void PressDefault(HWND dialog, HWND focus, LRESULT focus_code) {
  if (focus && (focus_code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
    if (IsWindowEnabled(focus)) Press(dialog, GetDlgCtrlID(focus), focus);
    return;
  }
  LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  HWND button = GetDlgItem(dialog, id);
  if (!button || IsWindowEnabled(button)) Press(dialog, id, button);
}

bool HandleKeyDown(HWND dialog, const MSG& msg, LRESULT code) {
  HWND focus = GetFocus();
  switch (msg.wParam) {
    case VK_TAB: {
      if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) return false;
      ThreadQueue* queue = CurrentQueue();
      bool back = queue && KeyHeld(*queue, VK_SHIFT);
      if (HWND next = GetNextDlgTabItem(dialog, focus, back)) FocusDialogControl(dialog, next);
      return true;
    }
    case VK_RETURN:
      if (code & DLGC_WANTALLKEYS) return false;
      PressDefault(dialog, focus, code);
      return true;
    case VK_ESCAPE: {
      if (code & DLGC_WANTALLKEYS) return false;
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (!cancel || IsWindowEnabled(cancel)) Press(dialog, IDCANCEL, cancel);
      return true;
    }
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: {
      if (code & (DLGC_WANTARROWS | DLGC_WANTALLKEYS)) return false;
      bool back = msg.wParam == VK_LEFT || msg.wParam == VK_UP;
      if (HWND next = GetNextDlgGroupItem(dialog, focus, back)) FocusDialogControl(dialog, next);
      return true;
    }
    default:
      return false;
  }
}

// The characters of the keys handled above do not reach the controls.
bool SwallowChar(const MSG& msg, LRESULT code) {
  if (code & (DLGC_WANTALLKEYS | DLGC_WANTCHARS)) return msg.wParam == u'\t' ? !(code & DLGC_WANTTAB) && !(code & DLGC_WANTALLKEYS) : false;
  return msg.wParam == u'\t' || msg.wParam == u'\r' || msg.wParam == 27;
}

}  // namespace
}  // namespace cedev::gwes

using namespace cedev::gwes;

HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  if (!DescribeWindow(hDlg)) return nullptr;
  return Step(hDlg, hCtl, bPrevious, IsTabStop);
}

HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  if (!DescribeWindow(hDlg)) return nullptr;
  // Within the group: the controls from the last WS_GROUP at or before
  // hCtl up to the next WS_GROUP.
  std::vector<WindowRecord> controls = Controls(hDlg);
  int at = -1;
  for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
    if (controls[i].handle == HandleValue(hCtl)) at = i;
  }
  if (at < 0) return Step(hDlg, hCtl, bPrevious, IsAnyReachable);
  int first = at;
  while (first > 0 && !(controls[first].style & WS_GROUP)) --first;
  int last = at + 1;
  while (last < static_cast<int>(controls.size()) && !(controls[last].style & WS_GROUP)) ++last;
  int n = last - first;
  for (int step = 1; step < n; ++step) {
    int i = first + ((at - first + (bPrevious ? -step : step)) % n + n) % n;
    if (Reachable(controls[i])) return ToHwnd(controls[i].handle);
  }
  return hCtl;
}

BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
  if (!lpMsg || !hDlg) return FALSE;
  if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)) return FALSE;
  bool key = lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_CHAR;
  LRESULT code = key && lpMsg->hwnd ? SendMessageW(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam,
                                                   reinterpret_cast<LPARAM>(lpMsg))
                                    : 0;
  if (lpMsg->message == WM_KEYDOWN && HandleKeyDown(hDlg, *lpMsg, code)) return TRUE;
  if (lpMsg->message == WM_CHAR && SwallowChar(*lpMsg, code)) return TRUE;
  TranslateMessage(lpMsg);
  DispatchMessageW(lpMsg);
  return TRUE;
}

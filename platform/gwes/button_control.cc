// The "BUTTON" class: push buttons (the default one among them), check
// boxes and radio buttons. A click tells the parent BN_CLICKED.
#include "control_procs.h"
#include "control_util.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

struct ButtonData : ControlData {
  UINT check = BST_UNCHECKED;
  bool pushed = false;
};

DWORD Kind(const Window& w) { return w.style & BS_TYPEMASK; }
bool IsPush(const Window& w) { return Kind(w) == BS_PUSHBUTTON || Kind(w) == BS_DEFPUSHBUTTON; }

void SetCheck(Window& w, UINT check) {
  ButtonData& data = DataOf<ButtonData>(w);
  if (IsPush(w) || Kind(w) == BS_GROUPBOX) return;
  data.check = check;
  PublishChecked(w, check);
}

// An automatic radio button takes the check from the others of its group.
void CheckInGroup(Window& w) {
  if (!w.parent) return;
  HWND dialog = ToHwnd(w.parent);
  HWND other = w.hwnd();
  for (int i = 0; i < 64; ++i) {
    other = GetNextDlgGroupItem(dialog, other, FALSE);
    if (!other || other == w.hwnd()) break;
    if (Kind(*LocalWindow(other)) == BS_AUTORADIOBUTTON) SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SetCheck(w, BST_CHECKED);
}

void Click(const std::shared_ptr<Window>& w) {
  if (!w->Enabled()) return;
  ButtonData& data = DataOf<ButtonData>(*w);
  switch (Kind(*w)) {
    case BS_AUTOCHECKBOX: SetCheck(*w, data.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED); break;
    case BS_AUTO3STATE: SetCheck(*w, (data.check + 1) % 3); break;
    case BS_AUTORADIOBUTTON: CheckInGroup(*w); break;
    default: break;
  }
  Notify(*w, BN_CLICKED);
}

LRESULT DialogCode(const Window& w) {
  switch (Kind(w)) {
    case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX: return DLGC_STATIC;
    default: return DLGC_BUTTON;
  }
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (!w) return 0;
  ButtonData& data = DataOf<ButtonData>(*w);
  switch (msg) {
    case BM_CLICK:
      // As a tap would: the button takes the focus, then it is clicked.
      if (w->Enabled()) SetFocus(hwnd);
      Click(w);
      return 0;
    case BM_GETCHECK:
      return data.check;
    case BM_SETCHECK:
      SetCheck(*w, static_cast<UINT>(wparam));
      return 0;
    case BM_GETSTATE:
      return data.check | (data.pushed ? BST_PUSHED : 0) | (w->queue && w->queue->focus == w->handle ? BST_FOCUS : 0);
    case BM_SETSTATE:
      data.pushed = wparam != 0;
      return 0;
    case BM_SETSTYLE:
      w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(wparam) & 0xFFFF);
      PublishStyle(*w);
      return 0;
    case WM_GETDLGCODE:
      return DialogCode(*w);
    case WM_KEYDOWN:
      if (wparam == VK_SPACE) data.pushed = true;
      return 0;
    case WM_KEYUP:
      if (wparam == VK_SPACE && data.pushed) {
        data.pushed = false;
        Click(w);
      }
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      data.pushed = true;
      return 0;
    case WM_LBUTTONUP:
      if (data.pushed) {
        data.pushed = false;
        Click(w);
      }
      return 0;
    case WM_SETFOCUS:
      if (w->style & BS_NOTIFY) Notify(*w, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      data.pushed = false;
      if (w->style & BS_NOTIFY) Notify(*w, BN_KILLFOCUS);
      return 0;
    default:
      return DefaultWindowMessage(w, msg, wparam, lparam);
  }
}

}  // namespace cedev::gwes

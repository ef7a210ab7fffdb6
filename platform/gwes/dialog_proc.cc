// The "Dialog" window class: the dialog procedure first, then the dialog
// manager's defaults (DefDlgProcW).
#include "dialog_state.h"
#include "dialogs.h"
#include "last_error.h"
#include "proc_tokens.h"
#include "send.h"
#include "session.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

// Messages whose dialog-procedure return value is the result itself rather
// than a "handled" flag (the result then is DWL_MSGRESULT).
bool ReturnsItsValue(UINT msg) {
  return msg == WM_INITDIALOG || (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM;
}

void RestoreFocus(const std::shared_ptr<Window>& w, DialogState& state) {
  HWND dialog = w->hwnd();
  HWND target = state.saved_focus && IsChild(dialog, ToHwnd(state.saved_focus)) ? ToHwnd(state.saved_focus)
                                                                                  : GetNextDlgTabItem(dialog, nullptr, FALSE);
  if (target) FocusDialogControl(dialog, target);
}

void SetDefault(HWND dialog, DialogState& state, WORD id) {
  if (HWND old = state.default_id ? GetDlgItem(dialog, state.default_id) : nullptr) {
    if (SendMessageW(old, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) SendMessageW(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
  state.default_id = id;
  if (HWND now = id ? GetDlgItem(dialog, id) : nullptr) {
    if (SendMessageW(now, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) SendMessageW(now, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  }
}

LRESULT DialogDefault(const std::shared_ptr<Window>& w, DialogState& state, UINT msg, WPARAM wparam, LPARAM lparam) {
  HWND dialog = w->hwnd();
  switch (msg) {
    case WM_CLOSE: {
      // Closing a dialog is pressing its Cancel (when that is not disabled).
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (!cancel || IsWindowEnabled(cancel)) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        if (w->queue && w->queue->focus && IsChild(dialog, ToHwnd(w->queue->focus))) state.saved_focus = w->queue->focus;
      } else {
        RestoreFocus(w, state);
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(w, state);
      return 0;
    case DM_GETDEFID:
      return state.default_id ? MAKELRESULT(state.default_id, DC_HASDEFID) : 0;
    case DM_SETDEFID:
      SetDefault(dialog, state, static_cast<WORD>(wparam));
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lparam) ? reinterpret_cast<HWND>(wparam)
                                   : GetNextDlgTabItem(dialog, GetFocus(), wparam != 0);
      if (target) FocusDialogControl(dialog, target);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_GETDLGCODE:
      return 0;
    default:
      return DefaultWindowMessage(w, msg, wparam, lparam);
  }
}

}  // namespace

bool DialogLong(Window& w, int index, bool wide, LONG_PTR* get, const LONG_PTR* set) {
  DialogState& state = *w.dialog;
  int result_at = 0;
  int proc_at = wide ? static_cast<int>(DWLP_DLGPROC) : DWL_DLGPROC;
  int user_at = wide ? static_cast<int>(DWLP_USER) : DWL_USER;
  if (index == result_at) {
    if (get) *get = wide ? state.message_result : static_cast<LONG>(state.message_result);
    if (set) state.message_result = *set;
    return true;
  }
  if (index == proc_at) {
    auto proc = reinterpret_cast<const void*>(state.proc);
    if (get) *get = wide ? reinterpret_cast<LONG_PTR>(proc) : TokenForProc(proc);
    if (set) state.proc = reinterpret_cast<DLGPROC>(const_cast<void*>(ProcForValue(*set)));
    return true;
  }
  if (index == user_at) {
    if (get) *get = wide ? state.user : static_cast<LONG>(state.user);
    if (set) state.user = *set;
    return true;
  }
  return false;
}

LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (!w) return 0;
  if (msg == WM_NCCREATE && !w->dialog) w->dialog = TakePendingDialog();
  if (!w->dialog) return DefaultWindowMessage(w, msg, wparam, lparam);
  DialogState& state = *w->dialog;
  if (DLGPROC proc = state.proc) {
    INT_PTR handled = proc(hwnd, msg, wparam, lparam);
    if (w->destroyed || !w->dialog) return handled;
    if (ReturnsItsValue(msg)) return handled;
    if (handled) return state.message_result;
  }
  return DialogDefault(w, state, msg, wparam, lparam);
}

}  // namespace cedev::gwes

LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return cedev::gwes::DialogClassProc(hDlg, Msg, wParam, lParam);
}

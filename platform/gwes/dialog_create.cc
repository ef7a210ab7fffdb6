// Dialog templates, the making of dialogs and their modal loop.
#include <algorithm>

#include "auto_user.h"
#include "classes.h"
#include "dialogs.h"
#include "last_error.h"
#include "message_loop.h"
#include "metrics.h"
#include "module_resources.h"
#include "send.h"
#include "session.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

ModuleResources<const CE_DIALOG_TEMPLATE*>& Templates() {
  static auto* templates = new ModuleResources<const CE_DIALOG_TEMPLATE*>;
  return *templates;
}

// The dialog state a "Dialog" window being created takes at WM_NCCREATE.
thread_local std::unique_ptr<DialogState> t_pending;

constexpr DWORD kDialogOnlyStyles = 0xFFFF;  // the DS_* bits, which are no window styles

bool ItemClassesKnown(Session& session, const CE_DIALOG_TEMPLATE& tmpl) {
  for (size_t i = 0; i < tmpl.itemCount; ++i) {
    if (!session.classes().Find(tmpl.items[i].className)) return Fail(ERROR_CANNOT_FIND_WND_CLASS, false);
  }
  return true;
}

RECT DialogRect(const CE_DIALOG_TEMPLATE& tmpl, HWND owner, DWORD style, DWORD ex_style) {
  RECT r{0, 0, DialogUnitsToPixelsX(tmpl.cx), DialogUnitsToPixelsY(tmpl.cy)};
  AdjustWindowRectEx(&r, style, FALSE, ex_style);
  OffsetRect(&r, -r.left, -r.top);
  if (tmpl.style & DS_CENTER) {
    OffsetRect(&r, (ScreenWidth() - r.right) / 2, (ScreenHeight() - r.bottom) / 2);
  } else {
    POINT origin{0, 0};
    if (owner && !(tmpl.style & DS_ABSALIGN)) ClientToScreen(owner, &origin);
    OffsetRect(&r, origin.x + DialogUnitsToPixelsX(tmpl.x), origin.y + DialogUnitsToPixelsY(tmpl.y));
  }
  return r;
}

bool CreateItems(HWND dialog, HINSTANCE instance, const CE_DIALOG_TEMPLATE& tmpl, DialogState& state) {
  for (size_t i = 0; i < tmpl.itemCount; ++i) {
    const CE_DIALOG_ITEM& item = tmpl.items[i];
    HWND control = CreateWindowExW(item.exStyle, item.className, item.text, item.style | WS_CHILD,
                                   DialogUnitsToPixelsX(item.x), DialogUnitsToPixelsY(item.y),
                                   DialogUnitsToPixelsX(item.cx), DialogUnitsToPixelsY(item.cy), dialog,
                                   reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance, nullptr);
    if (!control) return false;
    if (!state.default_id && (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) state.default_id = item.id;
  }
  return true;
}

// Where the focus goes after WM_INITDIALOG returned TRUE.
HWND FirstFocus(HWND dialog, HWND suggested) {
  if (suggested && IsWindow(suggested)) return suggested;
  return GetNextDlgTabItem(dialog, nullptr, FALSE);
}

}  // namespace

DialogState* DialogOf(const Window& window) { return window.dialog.get(); }

std::unique_ptr<DialogState> TakePendingDialog() {
  return t_pending ? std::move(t_pending) : std::make_unique<DialogState>();
}

HWND CreateDialogWindow(HINSTANCE instance, const CE_DIALOG_TEMPLATE& tmpl, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal, std::unique_ptr<MessageBoxState> box) {
  Session* session = Session::Current();
  if (!session || !ItemClassesKnown(*session, tmpl)) return nullptr;
  DWORD style = (tmpl.style & ~kDialogOnlyStyles & ~WS_VISIBLE & ~WS_CHILD) | WS_POPUP;
  DWORD ex_style = tmpl.exStyle | ((tmpl.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
  RECT r = DialogRect(tmpl, owner, style, ex_style);
  t_pending = std::make_unique<DialogState>();
  t_pending->modal = modal;
  t_pending->opened = Clock::now();
  t_pending->box = std::move(box);
  HWND dialog = CreateWindowExW(ex_style, u"Dialog", tmpl.caption ? tmpl.caption : u"", style, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, owner, nullptr, instance, nullptr);
  t_pending.reset();
  std::shared_ptr<Window> w = dialog ? LocalWindow(dialog) : nullptr;
  if (!w || !w->dialog) return nullptr;
  DialogState& state = *w->dialog;
  session->table().Change(w->handle, [&](WindowEntry& e) { e.flags |= state.box ? kDialog | kMessageBox : kDialog; });
  if (!CreateItems(dialog, instance, tmpl, state)) {
    DestroyWindow(dialog);
    return nullptr;
  }
  state.proc = proc;
  if (tmpl.fontName) SendMessageW(dialog, WM_SETFONT, 0, FALSE);
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  bool set_focus = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) != 0;
  if (!IsWindow(dialog)) return nullptr;
  if (set_focus) state.saved_focus = HandleValue(FirstFocus(dialog, first));
  NoteDialogOpened(*w->queue, w->handle);
  if (modal || (tmpl.style & WS_VISIBLE)) {
    ShowWindow(dialog, SW_SHOW);
  } else if (set_focus && state.saved_focus) {
    FocusDialogControl(dialog, ToHwnd(state.saved_focus));
  }
  if (tmpl.style & DS_SETFOREGROUND) SetForegroundWindow(dialog);
  return dialog;
}

INT_PTR RunModalDialog(HWND dialog, HWND owner, const std::function<void()>& started) {
  std::shared_ptr<Window> w = LocalWindow(dialog);
  if (!w || !w->dialog) return -1;
  ThreadQueue& queue = *w->queue;
  DialogState& state = *w->dialog;
  state.disabled_owner = owner && IsWindowEnabled(owner) && EnableWindow(owner, FALSE) == FALSE;
  if (started) started();
  while (!state.ended && !w->destroyed) {
    MSG msg;
    if (!FetchMessage(queue, MessageFilter{}, true, &msg)) {
      if (!state.ended && !w->destroyed) IdleUntil(queue, Deadline::max());
      continue;
    }
    if (msg.message == WM_QUIT) {
      // The program is ending: the dialog ends too, and the loop outside
      // gets the quit message.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  INT_PTR result = state.ended ? state.result : 0;
  if (state.disabled_owner) EnableWindow(owner, TRUE);
  state.disabled_owner = false;
  if (!w->destroyed) DestroyOnThread(w);
  return result;
}

void FocusDialogControl(HWND dialog, HWND control) {
  if (!control) return;
  if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
  SetFocus(control);
  if (auto w = LocalWindow(dialog); w && w->dialog) w->dialog->saved_focus = HandleValue(control);
}

}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

void CeRegisterDialogTemplates(HINSTANCE hModule, const CE_DIALOG_TEMPLATE* templates, size_t count) {
  for (size_t i = 0; templates && i < count; ++i) Templates().Add(hModule, templates[i].id, &templates[i]);
}

LPCDLGTEMPLATEW CeFindDialogTemplate(HINSTANCE hModule, LPCWSTR lpTemplateName) {
  auto found = Templates().Find(hModule, lpTemplateName);
  return found ? *found : nullptr;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  if (!lpTemplate) return Fail(ERROR_INVALID_PARAMETER, INT_PTR{-1});
  if (hWndParent && !IsWindow(hWndParent)) return Fail(ERROR_INVALID_WINDOW_HANDLE, INT_PTR{-1});
  // A modal dialog belongs to the owner's top-level window.
  HWND owner = hWndParent;
  while (owner && (GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) owner = GetParent(owner);
  HWND dialog = CreateDialogWindow(hInstance, *lpTemplate, owner, lpDialogFunc, dwInitParam, true, nullptr);
  if (!dialog) return -1;
  return RunModalDialog(dialog, owner);
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
  LPCDLGTEMPLATEW tmpl = CeFindDialogTemplate(hInstance, lpTemplateName);
  if (!tmpl) return -1;
  return DialogBoxIndirectParamW(hInstance, tmpl, hWndParent, lpDialogFunc, dwInitParam);
}

HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  if (!lpTemplate) return Fail(ERROR_INVALID_PARAMETER, HWND{});
  if (hWndParent && !IsWindow(hWndParent)) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{});
  return CreateDialogWindow(hInstance, *lpTemplate, hWndParent, lpDialogFunc, dwInitParam, false, nullptr);
}

HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
  LPCDLGTEMPLATEW tmpl = CeFindDialogTemplate(hInstance, lpTemplateName);
  if (!tmpl) return nullptr;
  return CreateDialogIndirectParamW(hInstance, tmpl, hWndParent, lpDialogFunc, dwInitParam);
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
  std::shared_ptr<Window> w = LocalWindow(hDlg);
  if (!w) return FALSE;
  if (!w->dialog) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  DialogState& state = *w->dialog;
  state.ended = true;
  state.result = nResult;
  // The owner gets its input back before the dialog goes, so that the
  // activation passes to it.
  if (state.disabled_owner) EnableWindow(ToHwnd(w->owner), TRUE);
  state.disabled_owner = false;
  ShowWindow(hDlg, SW_HIDE);
  // Wakes the dialog's loop if it sleeps (EndDialog from another thread).
  PostMessageW(hDlg, WM_NULL, 0, 0);
  return TRUE;
}

// Changing windows: showing, enabling, moving, texts and window longs. A
// window of another thread or program is changed by its own thread, which
// the change is sent to.
#include <algorithm>
#include <cstring>

#include "classes.h"
#include "dialog_state.h"
#include "last_error.h"
#include "private_messages.h"
#include "proc_tokens.h"
#include "send.h"
#include "session.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

bool ReadExtra(const Window& w, int index, size_t size, LONG_PTR* value) {
  if (index < 0 || static_cast<size_t>(index) + size > w.extra.size()) return Fail(ERROR_INVALID_INDEX, false);
  *value = 0;
  if (size == sizeof(LONG)) {
    LONG v;
    std::memcpy(&v, w.extra.data() + index, sizeof v);
    *value = v;
  } else {
    std::memcpy(value, w.extra.data() + index, sizeof(LONG_PTR));
  }
  return true;
}

bool WriteExtra(Window& w, int index, size_t size, LONG_PTR value) {
  if (index < 0 || static_cast<size_t>(index) + size > w.extra.size()) return Fail(ERROR_INVALID_INDEX, false);
  if (size == sizeof(LONG)) {
    auto v = static_cast<LONG>(value);
    std::memcpy(w.extra.data() + index, &v, sizeof v);
  } else {
    std::memcpy(w.extra.data() + index, &value, sizeof value);
  }
  return true;
}

// The value of a window long; `wide` for the pointer-sized forms.
bool GetLong(Window& w, int index, bool wide, LONG_PTR* value) {
  if (w.dialog && DialogLong(w, index, wide, value, nullptr)) return true;
  switch (index) {
    case GWL_WNDPROC: *value = wide ? reinterpret_cast<LONG_PTR>(w.proc) : TokenForProc(reinterpret_cast<const void*>(w.proc)); return true;
    case GWL_HINSTANCE: *value = reinterpret_cast<LONG_PTR>(w.instance); return true;
    case GWL_HWNDPARENT: *value = w.parent ? w.parent : w.owner; return true;
    case GWL_ID: *value = static_cast<LONG_PTR>(w.id); return true;
    case GWL_STYLE: *value = static_cast<LONG>(w.style); return true;
    case GWL_EXSTYLE: *value = static_cast<LONG>(w.ex_style); return true;
    case GWL_USERDATA: *value = wide ? w.user_data : static_cast<LONG>(w.user_data); return true;
    default: return ReadExtra(w, index, wide ? sizeof(LONG_PTR) : sizeof(LONG), value);
  }
}

bool SetLong(Window& w, int index, bool wide, LONG_PTR value, LONG_PTR* previous) {
  if (!GetLong(w, index, wide, previous)) return false;
  if (w.dialog && DialogLong(w, index, wide, nullptr, &value)) return true;
  switch (index) {
    case GWL_WNDPROC: {
      auto proc = reinterpret_cast<WNDPROC>(const_cast<void*>(ProcForValue(value)));
      if (!proc) return Fail(ERROR_INVALID_PARAMETER, false);
      w.proc = proc;
      return true;
    }
    case GWL_HINSTANCE: w.instance = reinterpret_cast<HINSTANCE>(value); return true;
    case GWL_HWNDPARENT: if (!w.parent) w.owner = HandleValue(reinterpret_cast<HWND>(value)); return true;
    case GWL_ID: w.id = static_cast<UINT>(value); PublishStyle(w); return true;
    case GWL_STYLE: w.style = static_cast<DWORD>(value); PublishStyle(w); return true;
    case GWL_EXSTYLE: w.ex_style = static_cast<DWORD>(value); PublishStyle(w); return true;
    case GWL_USERDATA: w.user_data = value; return true;
    default: return WriteExtra(w, index, wide ? sizeof(LONG_PTR) : sizeof(LONG), value);
  }
}

// Window longs of another program: what its table entry says.
bool ForeignLong(const WindowRecord& r, int index, LONG_PTR* value) {
  switch (index) {
    case GWL_ID: *value = r.id; return true;
    case GWL_STYLE: *value = static_cast<LONG>(r.style); return true;
    case GWL_EXSTYLE: *value = static_cast<LONG>(r.ex_style); return true;
    case GWL_HWNDPARENT: *value = r.parent ? r.parent : r.owner; return true;
    default: return Fail(ERROR_ACCESS_DENIED, false);
  }
}

LONG_PTR GetAnyLong(HWND hwnd, int index, bool wide) {
  Session* session = Session::Current();
  if (!session) return 0;
  LONG_PTR value = 0;
  if (auto w = session->Local(HandleValue(hwnd)); w && !w->destroyed) return GetLong(*w, index, wide, &value) ? value : 0;
  auto r = DescribeWindow(hwnd);
  if (!r) return 0;
  return ForeignLong(*r, index, &value) ? value : 0;
}

LONG_PTR SetAnyLong(HWND hwnd, int index, bool wide, LONG_PTR value) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (!w) {
    if (IsWindow(hwnd)) SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  LONG_PTR previous = 0;
  // The previous value may well be 0: only a failure sets the last error.
  SetLastError(0);
  return SetLong(*w, index, wide, value, &previous) ? previous : 0;
}

}  // namespace
}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
  bool elsewhere;
  if (auto w = OwnThreadWindow(hWnd, &elsewhere)) return ShowOnThread(w, nCmdShow) ? TRUE : FALSE;
  return elsewhere && SendMessageW(hWnd, kPrivateShow, static_cast<WPARAM>(nCmdShow), 0) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
  bool elsewhere;
  if (auto w = OwnThreadWindow(hWnd, &elsewhere)) return EnableOnThread(w, bEnable) ? TRUE : FALSE;
  return elsewhere && SendMessageW(hWnd, kPrivateEnable, bEnable ? 1 : 0, 0) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
  bool elsewhere;
  if (auto w = OwnThreadWindow(hWnd, &elsewhere)) return PlaceOnThread(w, hWndInsertAfter, X, Y, cx, cy, uFlags);
  if (!elsewhere) return FALSE;
  // Another thread's window is moved and sized; the rest stays its own.
  RECT r;
  if (!GetWindowRect(hWnd, &r)) return FALSE;
  if (uFlags & SWP_NOSIZE) cx = r.right - r.left, cy = r.bottom - r.top;
  if (uFlags & SWP_NOMOVE) {
    POINT topleft{r.left, r.top};
    if (HWND parent = GetParent(hWnd); parent && (GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD)) ScreenToClient(parent, &topleft);
    X = topleft.x, Y = topleft.y;
  }
  LRESULT result = 0;
  return SendToWindow(hWnd, kPrivateMove, static_cast<WPARAM>(PackPair(X, Y)), static_cast<LPARAM>(PackPair(cx, cy)),
                      SMTO_NORMAL, Deadline::max(), &result) ? TRUE : FALSE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
  return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight,
                      SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hWnd) {
  return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

HWND SetParent(HWND hWndChild, HWND hWndNewParent) {
  std::shared_ptr<Window> w = LocalWindow(hWndChild);
  if (!w) return nullptr;
  Session& session = *w->queue->session();
  std::shared_ptr<Window> parent = hWndNewParent ? LocalWindow(hWndNewParent) : nullptr;
  if (hWndNewParent && (!parent || parent->tid != w->tid)) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{});
  HWND old = ToHwnd(w->parent);
  if (auto previous = w->parent ? session.Local(w->parent) : nullptr) std::erase(previous->children, w->handle);
  w->parent = parent ? parent->handle : 0;
  if (parent) parent->children.push_back(w->handle);
  session.table().Change(w->handle, [&](WindowEntry& e) { e.parent = w->parent; });
  return old;
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  if (!lpString || nMaxCount <= 0) return Fail(ERROR_INVALID_PARAMETER, 0);
  lpString[0] = 0;
  Session* session = Session::Current();
  if (!session) return 0;
  if (auto w = session->Local(HandleValue(hWnd)); w && !w->destroyed) {
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
  }
  auto r = DescribeWindow(hWnd);
  if (!r) return 0;
  if (r->flags & kTextCut) {
    // More than the table keeps: ask the window, without waiting on a hung one.
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString),
                        SMTO_ABORTIFHUNG, 5000, &got);
    return static_cast<int>(got);
  }
  int n = std::min<int>(static_cast<int>(r->text.size()), nMaxCount - 1);
  std::copy_n(r->text.data(), n, lpString);
  lpString[n] = 0;
  return n;
}

int GetWindowTextLengthW(HWND hWnd) {
  Session* session = Session::Current();
  if (!session) return 0;
  if (auto w = session->Local(HandleValue(hWnd)); w && !w->destroyed) {
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
  }
  auto r = DescribeWindow(hWnd);
  return r ? static_cast<int>(r->text_length) : 0;
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  if (!DescribeWindow(hWnd)) return FALSE;
  return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

LONG GetWindowLongW(HWND hWnd, int nIndex) { return static_cast<LONG>(GetAnyLong(hWnd, nIndex, false)); }
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) { return GetAnyLong(hWnd, nIndex, true); }
LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
  return static_cast<LONG>(SetAnyLong(hWnd, nIndex, false, dwNewLong));
}
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  return SetAnyLong(hWnd, nIndex, true, dwNewLong);
}

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  auto proc = reinterpret_cast<WNDPROC>(const_cast<void*>(ProcForValue(reinterpret_cast<LONG_PTR>(lpPrevWndFunc))));
  if (!proc) return Fail(ERROR_INVALID_PARAMETER, LRESULT{0});
  return proc(hWnd, Msg, wParam, lParam);
}

DWORD GetClassLongW(HWND hWnd, int nIndex) {
  std::shared_ptr<Window> w = LocalWindow(hWnd);
  if (!w) return 0;
  const WNDCLASSW& info = w->window_class->info;
  switch (nIndex) {
    case GCL_STYLE: return info.style;
    case GCL_HBRBACKGROUND: return static_cast<DWORD>(reinterpret_cast<uintptr_t>(info.hbrBackground));
    case GCL_HICON: return static_cast<DWORD>(reinterpret_cast<uintptr_t>(info.hIcon));
    case GCL_HCURSOR: return static_cast<DWORD>(reinterpret_cast<uintptr_t>(info.hCursor));
    case GCL_CBWNDEXTRA: return static_cast<DWORD>(info.cbWndExtra);
    case GCL_CBCLSEXTRA: return static_cast<DWORD>(info.cbClsExtra);
    case GCL_WNDPROC: return static_cast<DWORD>(TokenForProc(reinterpret_cast<const void*>(info.lpfnWndProc)));
    default: return Fail(ERROR_INVALID_INDEX, DWORD{0});
  }
}

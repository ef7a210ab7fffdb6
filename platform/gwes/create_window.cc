// CreateWindowExW and DestroyWindow, with the messages they send, and the
// quiet end of the windows of a thread that ends.
#include <algorithm>

#include "ce/process.h"
#include "classes.h"
#include "creation_hook.h"
#include "dialog_state.h"
#include "last_error.h"
#include "metrics.h"
#include "send.h"
#include "session.h"
#include "window_ops.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

RECT InitialRect(DWORD style, int x, int y, int cx, int cy, bool child) {
  if (child) {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (cx == CW_USEDEFAULT) cx = cy = 0;
  } else {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (cx == CW_USEDEFAULT) {
      cx = ScreenWidth() - x;
      cy = ScreenHeight() - y;
    }
  }
  (void)style;
  return RECT{x, y, x + std::max(cx, 0), y + std::max(cy, 0)};
}

WindowRecord RecordFor(const Window& w) {
  WindowRecord r;
  r.pid = GetCurrentProcessId();
  r.tid = w.tid;
  r.parent = w.parent;
  r.owner = w.owner;
  r.id = w.id;
  r.style = w.style;
  r.ex_style = w.ex_style;
  r.flags = w.Enabled() ? uint32_t{kEnabled} : 0u;
  r.class_name = w.window_class->name;
  return r;
}

void SendDestroy(Session& session, const std::shared_ptr<Window>& w) {
  CallWindow(w, WM_DESTROY, 0, 0);
  std::vector<uint32_t> children = w->children;
  for (uint32_t child : children) {
    if (auto c = session.Local(child)) SendDestroy(session, c);
  }
}

void SendNcDestroy(Session& session, ThreadQueue& queue, const std::shared_ptr<Window>& w) {
  std::vector<uint32_t> children = w->children;
  for (uint32_t child : children) {
    if (auto c = session.Local(child)) SendNcDestroy(session, queue, c);
  }
  CallWindow(w, WM_NCDESTROY, 0, 0);
  UnlinkWindow(session, queue, *w);
}

// Before a window goes, the focus leaves it and another window of the
// thread (its owner first) becomes active.
void LetGoOfInput(Session& session, ThreadQueue& queue, const std::shared_ptr<Window>& w) {
  if (queue.focus && InsideOf(session, w->handle, queue.focus)) {
    uint32_t had = queue.focus;
    queue.focus = 0;
    PublishFocus(session.table(), had, false);
    CallWindow(session.Local(had), WM_KILLFOCUS, 0, 0);
  }
  if (queue.active != w->handle) return;
  CallWindow(w, WM_ACTIVATE, WA_INACTIVE, 0);
  queue.active = 0;
  std::shared_ptr<Window> next = w->owner ? session.Local(w->owner) : nullptr;
  if (next && (next->destroyed || next->tid != queue.tid() || !next->Visible())) next = nullptr;
  if (!next) {
    for (auto it = queue.windows.rbegin(); it != queue.windows.rend() && !next; ++it) {
      auto candidate = session.Local(*it);
      if (candidate && candidate != w && !candidate->parent && candidate->Visible() && !candidate->destroying) {
        next = candidate;
      }
    }
  }
  if (next) Activate(next);
}

}  // namespace

void DestroyOnThread(const std::shared_ptr<Window>& w) {
  if (w->destroying || w->destroyed) return;
  Session& session = *w->queue->session();
  ThreadQueue& queue = *w->queue;
  w->destroying = true;
  // The windows it owns go first.
  std::vector<uint32_t> windows = queue.windows;
  for (uint32_t handle : windows) {
    auto owned = session.Local(handle);
    if (owned && owned->owner == w->handle && !owned->parent) DestroyOnThread(owned);
  }
  if (w->Visible()) {
    w->style &= ~WS_VISIBLE;
    PublishStyle(*w);
  }
  LetGoOfInput(session, queue, w);
  SendDestroy(session, w);
  SendNcDestroy(session, queue, w);
}

}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  Session* session = Session::Current();
  if (!session) return nullptr;
  std::shared_ptr<ThreadQueue> queue = CurrentQueueShared();
  std::shared_ptr<WindowClass> window_class = session->classes().Find(lpClassName);
  if (!window_class) return Fail(ERROR_CANNOT_FIND_WND_CLASS, HWND{});
  bool child = dwStyle & WS_CHILD;
  std::shared_ptr<Window> parent;
  uint32_t owner = 0;
  if (hWndParent && hWndParent != GetDesktopWindow()) {
    parent = session->Local(HandleValue(hWndParent));
    if (!parent || parent->destroyed) {
      // A top-level window may be owned by a window of another program.
      if (child || !session->table().Lives(HandleValue(hWndParent))) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{});
      owner = HandleValue(hWndParent);
    }
  }
  if (child && !parent) return Fail(ERROR_TLW_WITH_WSCHILD, HWND{});
  if (child && parent->tid != queue->tid()) return Fail(ERROR_ACCESS_DENIED, HWND{});
  auto claim = session->Program();
  if (!claim) return Fail(ERROR_NO_MORE_USER_HANDLES, HWND{});

  auto w = std::make_shared<Window>();
  w->window_class = window_class;
  w->queue = queue;
  w->table = &session->table();
  w->tid = queue->tid();
  w->proc = window_class->info.lpfnWndProc;
  w->instance = hInstance;
  w->style = dwStyle & ~WS_VISIBLE;
  w->ex_style = dwExStyle;
  if (child) {
    w->parent = parent->handle;
    w->id = static_cast<UINT>(reinterpret_cast<uintptr_t>(hMenu));
  } else {
    w->owner = parent ? TopLevelOf(*session, parent)->handle : owner;
    w->menu = hMenu;
  }
  w->rect = InitialRect(dwStyle, X, Y, nWidth, nHeight, child);
  w->extra.assign(static_cast<size_t>(window_class->info.cbWndExtra), 0);
  w->handle = session->table().Add(*claim, RecordFor(*w));
  if (!w->handle) return Fail(ERROR_NO_MORE_USER_HANDLES, HWND{});
  window_class->windows++;
  session->AddLocal(w);
  queue->windows.push_back(w->handle);
  if (parent && child) parent->children.push_back(w->handle);
  PublishStyle(*w);
  RunCreationHook(w->hwnd());

  CREATESTRUCTW cs{lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X,
                   static_cast<LONG>(dwStyle), lpWindowName, lpClassName, dwExStyle};
  if (!CallWindow(w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    w->destroying = true;
    CallWindow(w, WM_NCDESTROY, 0, 0);
    UnlinkWindow(*session, *queue, *w);
    return nullptr;
  }
  if (CallWindow(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyOnThread(w);
    return nullptr;
  }
  if (w->destroyed || w->destroying) return nullptr;
  RECT client = ClientRectOf(*w);
  RECT inset = ClientInset(w->style, w->ex_style);
  CallWindow(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  CallWindow(w, WM_MOVE, 0, MAKELPARAM(w->rect.left + inset.left, w->rect.top + inset.top));
  if ((dwStyle & WS_VISIBLE) && !w->destroyed) ShowOnThread(w, SW_SHOW);
  return w->destroyed ? nullptr : w->hwnd();
}

BOOL DestroyWindow(HWND hWnd) {
  std::shared_ptr<Window> w = LocalWindow(hWnd);
  if (!w) return FALSE;
  if (w->tid != CurrentThreadId()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DestroyOnThread(w);
  return TRUE;
}

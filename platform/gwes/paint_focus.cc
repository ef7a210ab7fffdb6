// Painting state (WM_PAINT comes while a window needs painting and its
// thread has nothing else to do), focus and activation, capture, and the
// rectangle helpers.
#include <algorithm>

#include "journal.h"
#include "last_error.h"
#include "private_messages.h"
#include "send.h"
#include "session.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

// Device contexts are tokens until something draws.
constexpr uintptr_t kDeviceContextBase = 0x7E000000;
HDC ContextFor(uint32_t handle) { return reinterpret_cast<HDC>(kDeviceContextBase + handle); }

std::shared_ptr<Window> Paintable(HWND hwnd) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (w && w->tid != CurrentThreadId()) return Fail(ERROR_ACCESS_DENIED, std::shared_ptr<Window>());
  return w;
}

}  // namespace
}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

BOOL InvalidateRect(HWND hWnd, const RECT*, BOOL bErase) {
  if (!hWnd) return TRUE;  // the whole screen: nothing of ours to mark
  std::shared_ptr<Window> w = LocalWindow(hWnd);
  if (!w) return FALSE;
  // The paint state is the window's thread's to change.
  if (w->tid != CurrentThreadId()) return PostMessageW(hWnd, kPrivateInvalidate, bErase ? 1 : 0, 0);
  SetNeedsPaint(*w, true, bErase);
  return TRUE;
}

BOOL ValidateRect(HWND hWnd, const RECT*) {
  std::shared_ptr<Window> w = Paintable(hWnd);
  if (!w) return FALSE;
  SetNeedsPaint(*w, false, false);
  return TRUE;
}

BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL) {
  std::shared_ptr<Window> w = LocalWindow(hWnd);
  if (!w) return FALSE;
  if (lpRect) *lpRect = w->needs_paint ? ClientRectOf(*w) : RECT{0, 0, 0, 0};
  return w->needs_paint ? TRUE : FALSE;
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  if (!lpPaint) return Fail(ERROR_INVALID_PARAMETER, HDC{});
  std::shared_ptr<Window> w = Paintable(hWnd);
  if (!w) return nullptr;
  *lpPaint = PAINTSTRUCT{};
  lpPaint->hdc = ContextFor(w->handle);
  lpPaint->fErase = w->erase;
  lpPaint->rcPaint = w->needs_paint ? ClientRectOf(*w) : RECT{0, 0, 0, 0};
  if (w->erase) CallWindow(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(lpPaint->hdc), 0);
  SetNeedsPaint(*w, false, false);
  return lpPaint->hdc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
  if (!lpPaint) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  return LocalWindow(hWnd) ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) {
  std::shared_ptr<Window> w = LocalWindow(hWnd);
  if (!w) return FALSE;
  if (w->needs_paint && w->tid == CurrentThreadId()) CallWindow(w, WM_PAINT, 0, 0);
  return TRUE;
}

HDC GetDC(HWND hWnd) {
  if (!hWnd) return ContextFor(kDesktopHandle);
  auto w = DescribeWindow(hWnd);
  return w ? ContextFor(w->handle) : nullptr;
}

int ReleaseDC(HWND, HDC hDC) { return hDC ? 1 : 0; }

HWND SetFocus(HWND hWnd) {
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return nullptr;
  if (!hWnd) return SetFocusOnThread(*queue, nullptr);
  std::shared_ptr<Window> w = LocalWindow(hWnd);
  if (!w) return nullptr;
  // The focus is per thread: a window of another thread cannot take ours.
  if (w->tid != queue->tid()) return Fail(ERROR_ACCESS_DENIED, HWND{});
  return SetFocusOnThread(*queue, w);
}

HWND GetFocus() {
  ThreadQueue* queue = CurrentQueue();
  return queue ? ToHwnd(queue->focus) : nullptr;
}

HWND SetActiveWindow(HWND hWnd) {
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return nullptr;
  std::shared_ptr<Window> w = LocalWindow(hWnd);
  if (!w) return nullptr;
  if (w->tid != queue->tid()) return Fail(ERROR_ACCESS_DENIED, HWND{});
  HWND previous = ToHwnd(queue->active);
  auto top = TopLevelOf(*queue->session(), w);
  if (top) Activate(top);
  return previous;
}

HWND GetActiveWindow() {
  ThreadQueue* queue = CurrentQueue();
  return queue ? ToHwnd(queue->active) : nullptr;
}

BOOL SetForegroundWindow(HWND hWnd) {
  Session* session = Session::Current();
  auto r = DescribeWindow(hWnd);
  if (!session || !r || r->handle == kDesktopHandle) return FALSE;
  while (r && r->parent) r = DescribeWindow(ToHwnd(r->parent));
  if (!r) return FALSE;
  HWND top = ToHwnd(r->handle);
  session->table().Raise(r->handle, true);
  // The window's own thread activates it (WM_ACTIVATE), wherever it runs.
  std::shared_ptr<Window> w = session->Local(r->handle);
  if (w && w->tid == CurrentThreadId()) {
    Activate(w);
  } else {
    PostMessageW(top, kPrivateActivate, 0, 0);
  }
  return TRUE;
}

HWND GetForegroundWindow() {
  Session* session = Session::Current();
  return session ? ToHwnd(session->table().Foreground()) : nullptr;
}

HWND SetCapture(HWND hWnd) {
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return nullptr;
  HWND previous = ToHwnd(queue->capture);
  queue->capture = HandleValue(hWnd);
  return previous;
}

BOOL ReleaseCapture() {
  ThreadQueue* queue = CurrentQueue();
  if (queue) queue->capture = 0;
  return TRUE;
}

HWND GetCapture() {
  ThreadQueue* queue = CurrentQueue();
  return queue ? ToHwnd(queue->capture) : nullptr;
}

DWORD GetSysColor(int nIndex) {
  switch (nIndex) {
    case COLOR_WINDOW: case COLOR_STATIC: return 0x00FFFFFF;
    case COLOR_WINDOWTEXT: case COLOR_BTNTEXT: case COLOR_STATICTEXT: return 0x00000000;
    case COLOR_BTNFACE: return 0x00C0C0C0;
    case COLOR_ACTIVECAPTION: return 0x00800000;
    default: return 0x00808080;
  }
}

HBRUSH GetSysColorBrush(int nIndex) {
  return reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(SYS_COLOR_INDEX_FLAG | (nIndex & 0xFF)));
}

BOOL MessageBeep(UINT uType) {
  char text[32];
  std::snprintf(text, sizeof text, "beep 0x%X", uType);
  cedev::JournalAppend("sound", text);
  return TRUE;
}

BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
  if (!lprc) return FALSE;
  *lprc = RECT{xLeft, yTop, xRight, yBottom};
  return TRUE;
}

BOOL SetRectEmpty(LPRECT lprc) { return SetRect(lprc, 0, 0, 0, 0); }

BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc) {
  if (!lprcDst || !lprcSrc) return FALSE;
  *lprcDst = *lprcSrc;
  return TRUE;
}

BOOL IsRectEmpty(const RECT* lprc) { return !lprc || lprc->left >= lprc->right || lprc->top >= lprc->bottom; }

BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL OffsetRect(LPRECT lprc, int dx, int dy) {
  if (!lprc) return FALSE;
  lprc->left += dx, lprc->right += dx, lprc->top += dy, lprc->bottom += dy;
  return TRUE;
}

BOOL InflateRect(LPRECT lprc, int dx, int dy) {
  if (!lprc) return FALSE;
  lprc->left -= dx, lprc->right += dx, lprc->top -= dy, lprc->bottom += dy;
  return TRUE;
}

BOOL IntersectRect(LPRECT lprcDst, const RECT* a, const RECT* b) {
  if (!lprcDst || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    SetRectEmpty(lprcDst);
    return FALSE;
  }
  *lprcDst = r;
  return TRUE;
}

BOOL UnionRect(LPRECT lprcDst, const RECT* a, const RECT* b) {
  if (!lprcDst || !a || !b) return FALSE;
  if (IsRectEmpty(a)) return CopyRect(lprcDst, b) && !IsRectEmpty(b);
  if (IsRectEmpty(b)) return CopyRect(lprcDst, a);
  *lprcDst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                  std::max(a->bottom, b->bottom)};
  return TRUE;
}

BOOL PtInRect(const RECT* lprc, POINT pt) {
  return lprc && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}

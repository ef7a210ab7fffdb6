// Reading windows of any program: what the window table knows answers
// without the owner's help.
#include <algorithm>

#include "classes.h"
#include "last_error.h"
#include "metrics.h"
#include "send.h"
#include "session.h"
#include "window_ops.h"
#include "wstr.h"

namespace cedev::gwes {

std::optional<WindowRecord> DescribeWindow(HWND hwnd) {
  Session* session = Session::Current();
  if (!session) return std::nullopt;
  uint32_t handle = HandleValue(hwnd);
  if (handle == kDesktopHandle) {
    WindowRecord desktop;
    desktop.handle = kDesktopHandle;
    desktop.style = WS_VISIBLE;
    desktop.flags = kEnabled | kVisible;
    desktop.cx = desktop.client_cx = ScreenWidth();
    desktop.cy = desktop.client_cy = ScreenHeight();
    desktop.class_name = u"Desktop";
    return desktop;
  }
  auto record = handle ? session->table().Get(handle) : std::nullopt;
  if (!record) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return record;
}

POINT ClientOrigin(uint32_t handle) {
  POINT origin{0, 0};
  Session* session = Session::Current();
  for (int depth = 0; session && handle && handle != kDesktopHandle && depth < 64; ++depth) {
    auto r = session->table().Get(handle);
    if (!r) break;
    origin.x += r->x + r->client_x;
    origin.y += r->y + r->client_y;
    handle = r->parent;
  }
  return origin;
}

namespace {

std::vector<uint32_t> Siblings(Session& session, const WindowRecord& r) {
  std::vector<uint32_t> out;
  if (r.parent) {
    for (const auto& c : session.table().Children(r.parent)) out.push_back(c.handle);
  } else {
    for (const auto& t : session.table().TopLevel()) out.push_back(t.handle);
  }
  return out;
}

void Descendants(Session& session, uint32_t parent, std::vector<uint32_t>* out) {
  for (const auto& c : session.table().Children(parent)) {
    out->push_back(c.handle);
    Descendants(session, c.handle, out);
  }
}

}  // namespace
}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

BOOL IsWindow(HWND hWnd) {
  // A question, not a failure: the last error stays as it was.
  DWORD error = GetLastError();
  BOOL is = DescribeWindow(hWnd) ? TRUE : FALSE;
  SetLastError(error);
  return is;
}

BOOL IsWindowVisible(HWND hWnd) {
  // Visible only when its parents are too.
  for (int depth = 0; depth < 64; ++depth) {
    auto r = DescribeWindow(hWnd);
    if (!r || !(r->flags & kVisible)) return FALSE;
    if (!r->parent) return TRUE;
    hWnd = ToHwnd(r->parent);
  }
  return FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
  auto r = DescribeWindow(hWnd);
  return r && (r->flags & kEnabled) ? TRUE : FALSE;
}

BOOL IsChild(HWND hWndParent, HWND hWnd) {
  uint32_t ancestor = HandleValue(hWndParent);
  auto r = DescribeWindow(hWnd);
  for (int depth = 0; r && r->parent && depth < 64; ++depth) {
    if (r->parent == ancestor) return TRUE;
    r = DescribeWindow(ToHwnd(r->parent));
  }
  return FALSE;
}

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
  Session* session = Session::Current();
  if (!session) return nullptr;
  std::optional<std::u16string> class_name;
  if (lpClassName && IS_INTRESOURCE(lpClassName)) {
    auto c = session->classes().Find(lpClassName);
    if (!c) return nullptr;
    class_name = c->name;
  } else if (lpClassName) {
    class_name = std::u16string(cedev::WView(lpClassName));
  }
  std::optional<std::u16string_view> title;
  if (lpWindowName) title = cedev::WView(lpWindowName);
  return ToHwnd(session->table().Find(class_name, title));
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
  auto r = DescribeWindow(hWnd);
  if (!r || r->handle == kDesktopHandle) return Fail(ERROR_INVALID_WINDOW_HANDLE, DWORD{0});
  if (lpdwProcessId) *lpdwProcessId = r->pid;
  return r->tid;
}

int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
  if (!lpClassName || nMaxCount <= 0) return Fail(ERROR_INVALID_PARAMETER, 0);
  auto r = DescribeWindow(hWnd);
  if (!r) return 0;
  int n = std::min<int>(static_cast<int>(r->class_name.size()), nMaxCount - 1);
  std::copy_n(r->class_name.data(), n, lpClassName);
  lpClassName[n] = 0;
  return n;
}

HWND GetDesktopWindow() { return ToHwnd(kDesktopHandle); }

HWND GetParent(HWND hWnd) {
  auto r = DescribeWindow(hWnd);
  if (!r) return nullptr;
  if (r->parent) return ToHwnd(r->parent);
  return (r->style & WS_POPUP) ? ToHwnd(r->owner) : nullptr;
}

HWND GetWindow(HWND hWnd, UINT uCmd) {
  Session* session = Session::Current();
  auto r = DescribeWindow(hWnd);
  if (!session || !r) return nullptr;
  if (uCmd == GW_OWNER) return ToHwnd(r->owner);
  if (uCmd == GW_CHILD) {
    auto children = r->handle == kDesktopHandle ? session->table().TopLevel() : session->table().Children(r->handle);
    return children.empty() ? nullptr : ToHwnd(children.front().handle);
  }
  if (uCmd > GW_HWNDPREV) return Fail(ERROR_INVALID_GW_COMMAND, HWND{});
  std::vector<uint32_t> siblings = Siblings(*session, *r);
  if (siblings.empty()) return nullptr;
  if (uCmd == GW_HWNDFIRST) return ToHwnd(siblings.front());
  if (uCmd == GW_HWNDLAST) return ToHwnd(siblings.back());
  auto it = std::find(siblings.begin(), siblings.end(), r->handle);
  if (it == siblings.end()) return nullptr;
  if (uCmd == GW_HWNDNEXT) return ++it == siblings.end() ? nullptr : ToHwnd(*it);
  return it == siblings.begin() ? nullptr : ToHwnd(*--it);
}

BOOL EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  Session* session = Session::Current();
  if (!session || !lpEnumFunc) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  for (const auto& top : session->table().TopLevel()) {
    if (!lpEnumFunc(ToHwnd(top.handle), lParam)) break;
  }
  return TRUE;
}

BOOL EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  Session* session = Session::Current();
  if (!session || !lpEnumFunc) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!DescribeWindow(hWndParent)) return FALSE;
  std::vector<uint32_t> all;
  Descendants(*session, HandleValue(hWndParent), &all);
  for (uint32_t handle : all) {
    if (!lpEnumFunc(ToHwnd(handle), lParam)) break;
  }
  return TRUE;
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
  if (!lpRect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  auto r = DescribeWindow(hWnd);
  if (!r) return FALSE;
  POINT origin = ClientOrigin(r->parent);
  *lpRect = RECT{origin.x + r->x, origin.y + r->y, origin.x + r->x + r->cx, origin.y + r->y + r->cy};
  return TRUE;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
  if (!lpRect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  auto r = DescribeWindow(hWnd);
  if (!r) return FALSE;
  *lpRect = RECT{0, 0, r->client_cx, r->client_cy};
  return TRUE;
}

BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  if (!lpPoint) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!DescribeWindow(hWnd)) return FALSE;
  POINT origin = ClientOrigin(HandleValue(hWnd));
  lpPoint->x += origin.x;
  lpPoint->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  if (!lpPoint) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!DescribeWindow(hWnd)) return FALSE;
  POINT origin = ClientOrigin(HandleValue(hWnd));
  lpPoint->x -= origin.x;
  lpPoint->y -= origin.y;
  return TRUE;
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
  if ((hWndFrom && !DescribeWindow(hWndFrom)) || (hWndTo && !DescribeWindow(hWndTo))) return 0;
  POINT from = ClientOrigin(HandleValue(hWndFrom));
  POINT to = ClientOrigin(HandleValue(hWndTo));
  LONG dx = from.x - to.x, dy = from.y - to.y;
  for (UINT i = 0; lpPoints && i < cPoints; ++i) {
    lpPoints[i].x += dx;
    lpPoints[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL, DWORD dwExStyle) {
  if (!lpRect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  RECT inset = ClientInset(dwStyle, dwExStyle);
  lpRect->left -= inset.left;
  lpRect->top -= inset.top;
  lpRect->right += inset.right;
  lpRect->bottom += inset.bottom;
  return TRUE;
}

int GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXSCREEN: case SM_CXFULLSCREEN: return ScreenWidth();
    case SM_CYSCREEN: return ScreenHeight();
    case SM_CYFULLSCREEN: return ScreenHeight() - kCaptionHeight;
    case SM_CXVSCROLL: case SM_CYHSCROLL: return 13;
    case SM_CYCAPTION: return kCaptionHeight;
    case SM_CXBORDER: case SM_CYBORDER: return kBorder;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return kDialogFrame;
    case SM_CXEDGE: case SM_CYEDGE: return kEdge;
    case SM_CXICON: case SM_CYICON: return kIconSize;
    case SM_CXSMICON: case SM_CYSMICON: return kSmallIconSize;
    case SM_CYMENU: return kCommandBarHeight;
    default: return 0;
  }
}

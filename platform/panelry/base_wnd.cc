// The main-window base class: the window's own rectangle per layout and the
// controls moved to theirs; the controls and command bar made for it.
#include "control_rects.h"
#include "panelry.h"

namespace {

using panelry::MoveTo;

// Every child with registered rectangles goes to those of the layout; the
// command bar keeps the window's width.
void LayOutChildren(HWND parent, UINT layout) {
  RECT client{};
  ::GetClientRect(parent, &client);
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (panelry::IsCommandBar(child)) {
      ::MoveWindow(child, 0, 0, client.right, ::CommandBar_Height(child), TRUE);
    } else if (std::optional<RECT> r = panelry::RectFor(child, layout)) {
      MoveTo(child, *r);
    }
  }
}

}  // namespace

UINT CurrentLayout() {
  return ::GetSystemMetrics(SM_CXSCREEN) > ::GetSystemMetrics(SM_CYSCREEN) ? kLandscapeLayout : kPortraitLayout;
}

BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
  ON_WM_SIZE()
  ON_WM_SETTINGCHANGE()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

CBaseWnd::CBaseWnd(const RECT& rect) : m_rcPortrait(rect) {}

CBaseWnd::~CBaseWnd() = default;

RECT CBaseWnd::LayoutRect(UINT layout) const { return panelry::InLayout(m_rcPortrait, layout); }

BOOL CBaseWnd::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, HWND hWndParent, UINT nID) {
  m_nLayout = CurrentLayout();
  RECT r = LayoutRect(m_nLayout);
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle, r.left, r.top, r.right - r.left, r.bottom - r.top,
                  hWndParent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(nID)));
}

void CBaseWnd::OnSize() {
  if (!m_hWnd) return;
  m_nLayout = CurrentLayout();
  LayOutChildren(m_hWnd, m_nLayout);
}

void CBaseWnd::OnSettingChange(UINT, LPCWSTR) {
  if (!m_hWnd) return;
  UINT layout = CurrentLayout();
  if (layout != m_nLayout && !(::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD)) {
    // The window turns with the screen; its WM_SIZE lays the controls out.
    MoveTo(m_hWnd, LayoutRect(layout));
  }
  OnSize();
}

void CBaseWnd::OnDestroy() {
  if (!m_hWnd) return;
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    panelry::ForgetControl(child);
  }
}

HWND CommandBar_CreateForBase(HINSTANCE hInstance, HWND hwndParent, int idCmdBar) {
  HWND bar = ::CommandBar_Create(hInstance, hwndParent, idCmdBar);
  if (bar) panelry::RememberCommandBar(bar);
  return bar;
}

HWND CreateBaseControlEx(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int x, int y,
                         int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  HWND control = ::CreateWindowExW(dwExStyle, lpClassName, lpWindowName, dwStyle | WS_CHILD, x, y, nWidth, nHeight,
                                   hWndParent, hMenu, hInstance, lpParam);
  if (!control) return nullptr;
  panelry::RememberControl(control, RECT{x, y, x + nWidth, y + nHeight});
  return control;
}

BOOL SetControlRect(HWND hWnd, const RECT& rect, UINT nLayout) {
  if (nLayout > kLandscapeLayout) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!::IsWindow(hWnd) || !panelry::SetRect(hWnd, nLayout, rect)) {
    ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // The control takes the rectangle at once when its layout is on.
  if (nLayout == CurrentLayout()) MoveTo(hWnd, rect);
  return TRUE;
}

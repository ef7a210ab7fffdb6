// Window objects: the binding of objects to windows, the routing of every
// message of a bound window through its object, and message-map dispatch.
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "framework.h"
#include "handle_maps.h"

namespace {

// The message each thread is handling now, for Default().
struct CurrentMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
thread_local std::vector<CurrentMessage> t_current;

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id) {
  for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfn; ++e) {
      if (e->nMessage != message) continue;
      if (message != WM_COMMAND) return e;
      if (e->nCode == code && id >= e->nID && id <= e->nLastID) return e;
    }
  }
  return nullptr;
}

}  // namespace

// --- Binding ---------------------------------------------------------------------------

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (!m_hWnd || afx::Permanent().Find(m_hWnd) != this) return;
  // The window goes with its object (its last messages reach this part of
  // the object only); one the object cannot destroy keeps its own procedure.
  if (m_pfnSuper && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  if (m_hWnd) Unbind();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) { return afx::Permanent().Find(hWnd); }

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (!hWnd) return nullptr;
  if (CWnd* bound = FromHandlePermanent(hWnd)) return bound;
  return afx::Temporaries().For(hWnd);
}

BOOL CWnd::Attach(HWND hWnd) {
  if (!hWnd || m_hWnd || !::IsWindow(hWnd)) return FALSE;
  if (!afx::Permanent().Add(hWnd, this)) return FALSE;
  m_hWnd = hWnd;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hWnd = m_hWnd;
  if (hWnd) afx::Permanent().Remove(hWnd, this);
  m_hWnd = nullptr;
  return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!Attach(hWnd)) return FALSE;
  LONG_PTR old = ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc));
  if (!old) {
    Detach();
    return FALSE;
  }
  m_pfnSuper = reinterpret_cast<WNDPROC>(old);
  return TRUE;
}

void AfxAttachCreatedWindow(HWND hWnd, void* context) { static_cast<CWnd*>(context)->SubclassWindow(hWnd); }

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
  if (m_hWnd) return FALSE;
  CeArmCreationHook(&AfxAttachCreatedWindow, this);
  HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight, hWndParent,
                                nIDorHMenu, AfxGetInstanceHandle(), lpParam);
  CeDisarmCreationHook();
  // A creation refused by WM_CREATE has already unbound the object.
  return hWnd != nullptr && m_hWnd == hWnd;
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

void CWnd::Unbind() {
  HWND hWnd = m_hWnd;
  if (m_pfnSuper && ::IsWindow(hWnd)) ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  m_pfnSuper = nullptr;
  Detach();
}

// --- Routing ---------------------------------------------------------------------------

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
  if (!wnd) return ::DefWindowProcW(hWnd, message, wParam, lParam);
  return wnd->RouteMessage(message, wParam, lParam);
}

LRESULT CWnd::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  t_current.push_back({message, wParam, lParam});
  LRESULT result = WindowProc(message, wParam, lParam);
  t_current.pop_back();
  if (message == WM_NCDESTROY) {
    // The window's last message: the object lets go of it, and the program
    // ends with its main window.
    CWinApp* app = AfxGetApp();
    bool was_main = app && app->m_pMainWnd == this;
    Unbind();
    if (was_main) {
      app->m_pMainWnd = nullptr;
      ::PostQuitMessage(0);
    }
    PostNcDestroy();
  }
  return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  if (t_current.empty()) return 0;
  CurrentMessage m = t_current.back();
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY kEntries[] = {{0, 0, 0, 0, nullptr}};
  static const AFX_MSGMAP kMap = {nullptr, kEntries};
  return &kMap;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) return OnCommand(wParam, lParam, pResult);
  const AFX_MSGMAP_ENTRY* entry = FindEntry(GetMessageMap(), message, 0, 0);
  if (!entry) return FALSE;
  *pResult = entry->pfn(this, wParam, lParam);
  return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const AFX_MSGMAP_ENTRY* entry = FindEntry(GetMessageMap(), WM_COMMAND, HIWORD(wParam), LOWORD(wParam));
  if (!entry) return FALSE;
  *pResult = entry->pfn(this, wParam, lParam);
  return TRUE;
}

// --- Pre-translation -----------------------------------------------------------------

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::PreTranslateInput(MSG* pMsg) {
  bool input = (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) ||
               (pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST);
  if (!input || !m_hWnd) return FALSE;
  if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)) return FALSE;
  return ::IsDialogMessageW(m_hWnd, pMsg);
}

// --- Helpers ---------------------------------------------------------------------------

CWnd* CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) const {
  ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::BeginWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(1);
}

void CWnd::EndWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(-1);
}

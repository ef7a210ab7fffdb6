// The application object: start-up, the message loop with pre-translation,
// the program-wide handles and the wait cursor.
#include <string>

#include "framework.h"
#include "handle_maps.h"

namespace {

CWinApp* g_app = nullptr;
HINSTANCE g_resources = nullptr;

}  // namespace

CWinApp::CWinApp(LPCWSTR lpszAppName) : m_pszAppName(lpszAppName) { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return m_nExitCode; }

BOOL CWinApp::OnIdle(LONG) {
  afx::Temporaries().Clear();
  return FALSE;
}

int CWinApp::Run() {
  MSG msg;
  LONG idle = 0;
  for (;;) {
    while (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && OnIdle(idle++)) {
    }
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    idle = 0;
    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  m_nExitCode = static_cast<int>(msg.message == WM_QUIT ? msg.wParam : 0);
  return ExitInstance();
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
  HWND stop = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
  for (HWND h = pMsg->hwnd; h; h = ::GetParent(h)) {
    if (CWnd* wnd = CWnd::FromHandlePermanent(h); wnd && wnd->PreTranslateMessage(pMsg)) return TRUE;
    if (h == stop) return FALSE;
    // A window above a child: only parents, not owners, take part.
    if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
  }
  // A message of another top-level window (a modeless dialog, a message
  // box) still reaches the main window's pre-translation.
  return m_pMainWnd && m_pMainWnd->m_hWnd && m_pMainWnd->PreTranslateMessage(pMsg);
}

void CWinApp::DoWaitCursor(int nCode) {
  if (nCode < 0 && m_nWaitCursorCount == 0) return;  // an end without a begin
  m_nWaitCursorCount += nCode > 0 ? 1 : nCode < 0 ? -1 : 0;
  if (nCode > 0 && m_nWaitCursorCount == 1) {
    m_hcurWaitCursorRestore = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  } else if (nCode == 0 && m_nWaitCursorCount > 0) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  } else if (nCode < 0 && m_nWaitCursorCount == 0) {
    ::SetCursor(m_hcurWaitCursorRestore ? m_hcurWaitCursorRestore : ::LoadCursorW(nullptr, IDC_ARROW));
    m_hcurWaitCursorRestore = nullptr;
  }
}

CWaitCursor::CWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->BeginWaitCursor();
}

CWaitCursor::~CWaitCursor() {
  if (CWinApp* app = AfxGetApp()) app->EndWaitCursor();
}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : nullptr; }

HINSTANCE AfxGetResourceHandle() { return g_resources ? g_resources : AfxGetInstanceHandle(); }

void AfxSetResourceHandle(HINSTANCE hInstResource) { g_resources = hInstResource; }

BOOL AfxRegisterClass(WNDCLASSW* lpWndClass) {
  if (!lpWndClass || !lpWndClass->lpszClassName) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string name = kAfxClassPrefix;
  name += lpWndClass->lpszClassName;
  WNDCLASSW existing;
  if (::GetClassInfoW(lpWndClass->hInstance, name.c_str(), &existing)) return TRUE;
  WNDCLASSW prefixed = *lpWndClass;
  prefixed.lpszClassName = name.c_str();
  return ::RegisterClassW(&prefixed) != 0;
}

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nCmdShow) {
  if (!g_app) return FALSE;
  g_app->m_hInstance = hInstance;
  g_app->m_lpCmdLine = lpCmdLine;
  g_app->m_nCmdShow = nCmdShow;
  return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
  CWinApp* app = AfxGetApp();
  if (!app || !AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow)) return -1;
  if (!app->InitInstance()) {
    if (app->m_pMainWnd) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  return app->Run();
}

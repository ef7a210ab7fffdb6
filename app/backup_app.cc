#include "backup_app.h"

#include <vector>

#include "app_state.h"
#include "autorun_line.h"
#include "main_window.h"
#include "program_setup.h"

namespace {

// The class's background: the system colour flag with COLOR_STATICTEXT.
const HBRUSH kBackgroundBrush = reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(SYS_COLOR_INDEX_FLAG | COLOR_STATICTEXT));

// An automatic start of this program that the notification service may
// still hold (from an earlier install) must not start a second copy later.
const WCHAR kNotifiedProgram[] = u"tlvkit.exe";

void ReadCommandLine() {
  // Parsed on a copy: the split writes terminators into it.
  LPCWSTR line = GetCommandLineW();
  std::vector<WCHAR> copy(line, line + (line ? wcslen(line) : 0));
  copy.push_back(0);
  AutoRunCode = ParseCommandLine(copy.data(), AutoRunLocation, AutoRunPassword);
}

}  // namespace

BOOL EnsureSingleInstance() {
  if (HWND running = FindWindowW(kMainWindowRegisteredClass, nullptr)) {
    SetForegroundWindow(running);
    return FALSE;
  }
  // AppTitle is loaded by the program's set-up, before this.
  WNDCLASSW windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = DefWindowProcW;  // the framework routes to the window object
  windowClass.hInstance = ModuleInstance;
  windowClass.hbrBackground = kBackgroundBrush;
  windowClass.lpszClassName = kMainWindowClass;
  return AfxRegisterClass(&windowClass);
}

BOOL MBackupApp::InitInstance() {
  CWinApp::InitInstance();
  SetUpProgram(m_hInstance);
  // Counts as user activity, so the device does not fall idle while starting.
  keybd_event(0, 0, KEYEVENTF_KEYUP, 0);
  CeRunAppAtTime(kNotifiedProgram, nullptr);
  CeRunAppAtEvent(kNotifiedProgram, NOTIFICATION_EVENT_NONE);
  if (!EnsureSingleInstance()) return FALSE;
  ReadCommandLine();
  MMainWnd* window = new MMainWnd();
  m_pMainWnd = window;
  // Without its window the program would wait for ever for nothing.
  if (!window->m_hWnd) return FALSE;
  window->ShowWindow(m_nCmdShow);
  window->UpdateWindow();
  return TRUE;
}

int MBackupApp::ExitInstance() {
  int code = CWinApp::ExitInstance();
  delete m_pMainWnd;
  m_pMainWnd = nullptr;
  return code;
}

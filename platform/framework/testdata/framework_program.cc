// A device program written on the framework, with no WinMain of its own:
// the framework's is the one that runs. Its main window "Framework program"
// (class "WCE_fwprogram") has a button 40002 "Count" that counts presses
// into the window title, and a button 40001 "Quit" that closes the window;
// the program's exit code is then 100 plus the presses counted.
#include <string>

#include "framework.h"

namespace {

class CounterWindow : public CWnd {
 public:
  int presses = 0;

 protected:
  int OnCreate(LPCREATESTRUCT cs) {
    CreateWindowExW(0, u"BUTTON", u"Count", WS_CHILD | WS_VISIBLE, 10, 10, 100, 24, m_hWnd,
                    reinterpret_cast<HMENU>(40002), AfxGetInstanceHandle(), nullptr);
    CreateWindowExW(0, u"BUTTON", u"Quit", WS_CHILD | WS_VISIBLE, 10, 40, 100, 24, m_hWnd,
                    reinterpret_cast<HMENU>(40001), AfxGetInstanceHandle(), nullptr);
    return CWnd::OnCreate(cs);
  }
  void OnCount() {
    ++presses;
    std::u16string title = u"Framework program " + std::u16string(1, static_cast<char16_t>(u'0' + presses % 10));
    SetWindowText(title.c_str());
  }
  void OnQuit() { PostMessage(WM_CLOSE); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CounterWindow, CWnd)
  ON_WM_CREATE()
  ON_COMMAND(40002, OnCount)
  ON_COMMAND(40001, OnQuit)
END_MESSAGE_MAP()

class FrameworkProgram : public CWinApp {
 public:
  BOOL InitInstance() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = m_hInstance;
    wc.lpszClassName = u"fwprogram";
    if (!AfxRegisterClass(&wc)) return FALSE;
    if (!window_.CreateEx(0, u"WCE_fwprogram", u"Framework program", WS_VISIBLE, 0, 0, 240, 320, nullptr,
                          nullptr)) {
      return FALSE;
    }
    m_pMainWnd = &window_;
    return TRUE;
  }
  int ExitInstance() override { return 100 + window_.presses; }

 private:
  CounterWindow window_;
};

FrameworkProgram the_program;

}  // namespace

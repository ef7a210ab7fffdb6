// The framework over a scratch device: message-map dispatch through real
// window messages, the application's loop and its pre-translation routing,
// modal dialogs in the framework's loop, class registration and the wait
// cursor.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "api_expect.h"
#include "framework.h"
#include "scratch_device.h"

namespace {

using Calls = std::vector<std::string>;

constexpr UINT kAutoRun = 0x800A;

// A window class given to AfxRegisterClass as a program does: the plain
// default procedure, the framework routing to the object.
void RegisterTestClass(const char16_t* name) {
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = AfxGetInstanceHandle();
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(0x4000001A));
  wc.lpszClassName = name;
  ASSERT_TRUE(AfxRegisterClass(&wc));
}

class BaseWindow : public CWnd {
 public:
  Calls calls;

 protected:
  void OnTimer(UINT_PTR id) { calls.push_back("base timer " + std::to_string(id)); }
  void OnPaint() {
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
    calls.push_back("base paint");
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWindow, CWnd)
  ON_WM_TIMER()
  ON_WM_PAINT()
END_MESSAGE_MAP()

class MappedWindow : public BaseWindow {
 public:
  bool refuse_creation = false;

 protected:
  int OnCreate(LPCREATESTRUCT cs) {
    calls.push_back("create " + std::string(cs->lpszName ? "titled" : "untitled"));
    return refuse_creation ? -1 : CWnd::OnCreate(cs);
  }
  void OnTimer(UINT_PTR id) { calls.push_back("timer " + std::to_string(id)); }
  void OnSize(UINT, int cx, int cy) { calls.push_back("size " + std::to_string(cx) + "x" + std::to_string(cy)); }
  void OnSettingChange(UINT flags, LPCWSTR) { calls.push_back("setting " + std::to_string(flags)); }
  BOOL OnDeviceChange(UINT event, DWORD_PTR) {
    calls.push_back("device " + std::to_string(event));
    return TRUE;
  }
  BOOL OnHelpInfo(HELPINFO*) {
    calls.push_back("help");
    return TRUE;
  }
  LRESULT OnAutoRun(WPARAM code, LPARAM) {
    calls.push_back("auto " + std::to_string(code));
    return static_cast<LRESULT>(code * 10);
  }
  void OnCommandRange(UINT id) { calls.push_back("range " + std::to_string(id)); }
  void OnQuit() { calls.push_back("quit"); }
  void OnClose() {
    calls.push_back("close");
    Default();  // the default closing destroys the window
  }
  void OnDestroy() { calls.push_back("destroy"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MappedWindow, BaseWindow)
  ON_WM_CREATE()
  ON_WM_TIMER()
  ON_WM_SIZE()
  ON_WM_SETTINGCHANGE()
  ON_WM_DEVICECHANGE()
  ON_WM_HELPINFO()
  ON_MESSAGE(kAutoRun, OnAutoRun)
  ON_COMMAND_RANGE(40002, 40005, OnCommandRange)
  ON_COMMAND(40001, OnQuit)
  ON_WM_CLOSE()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

class FrameworkTest : public ::testing::Test {
 protected:
  FrameworkTest() { RegisterTestClass(u"fwtest"); }
  cedev::ScratchDevice device_;
};

TEST_F(FrameworkTest, MessageMapDispatchesEveryMappedMessageAndLeavesTheRestToTheWindow) {
  MappedWindow wnd;
  ASSERT_TRUE(wnd.CreateEx(0, u"WCE_fwtest", u"Mapped", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr));
  EXPECT_EQ(FindWindowW(u"WCE_fwtest", u"Mapped"), wnd.m_hWnd);
  EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
  ASSERT_FALSE(wnd.calls.empty());
  EXPECT_EQ(wnd.calls.front(), "create titled");  // bound before WM_CREATE
  wnd.calls.clear();

  wnd.MoveWindow(0, 0, 320, 240);
  wnd.SendMessage(WM_TIMER, 256);
  wnd.SendMessage(WM_SETTINGCHANGE, SETTINGCHANGE_RESET);
  EXPECT_EQ(wnd.SendMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL), TRUE);
  EXPECT_EQ(wnd.SendMessage(kAutoRun, 3), 30);
  wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40003, 0));
  wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40001, 0));
  wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40006, 0));              // no entry
  wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40002, CBN_SELCHANGE));  // not a command
  HELPINFO info{};
  info.cbSize = sizeof(info);
  wnd.SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(wnd.calls, (Calls{"size 320x240", "timer 256", "setting 12290", "device 32768", "auto 3", "range 40003",
                              "quit", "help"}));

  // Unmapped messages reach the window's own procedure.
  wnd.SetWindowText(u"renamed");
  char16_t text[32] = {};
  EXPECT_EQ(GetWindowTextW(wnd.m_hWnd, text, 32), 7);
  EXPECT_EQ(std::u16string(text), u"renamed");

  // The derived map's entry wins; the base's entries still serve.
  wnd.calls.clear();
  InvalidateRect(wnd.m_hWnd, nullptr, TRUE);
  wnd.UpdateWindow();
  EXPECT_EQ(wnd.calls, (Calls{"base paint"}));

  // Default() in a handler runs the default closing: the window goes and
  // the object lets go of it.
  HWND was = wnd.m_hWnd;
  wnd.calls.clear();
  wnd.SendMessage(WM_CLOSE);
  EXPECT_EQ(wnd.calls, (Calls{"close", "destroy"}));
  EXPECT_FALSE(IsWindow(was));
  EXPECT_EQ(wnd.m_hWnd, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(was), nullptr);
}

TEST_F(FrameworkTest, CreationRefusedByOnCreateLeavesTheObjectWithoutAWindow) {
  MappedWindow wnd;
  wnd.refuse_creation = true;
  EXPECT_FALSE(wnd.CreateEx(0, u"WCE_fwtest", u"Refused", 0, 0, 0, 10, 10, nullptr, nullptr));
  EXPECT_EQ(wnd.m_hWnd, nullptr);
  EXPECT_EQ(FindWindowW(u"WCE_fwtest", u"Refused"), nullptr);
  // An unknown class fails as the window system says, and binds nothing.
  MappedWindow other;
  SetLastError(cedev::kSentinel);
  EXPECT_FALSE(other.CreateEx(0, u"WCE_nosuch", u"x", 0, 0, 0, 10, 10, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  // The hook was disarmed: the next plain window is nobody's.
  HWND plain = CreateWindowExW(0, u"WCE_fwtest", u"plain", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
  EXPECT_EQ(other.m_hWnd, nullptr);
  DestroyWindow(plain);
}

TEST_F(FrameworkTest, AttachDetachAndTemporaryObjects) {
  HWND plain = CreateWindowExW(0, u"WCE_fwtest", u"plain", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(plain, nullptr);
  CWnd* temporary = CWnd::FromHandle(plain);
  ASSERT_NE(temporary, nullptr);
  EXPECT_EQ(temporary->m_hWnd, plain);
  EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
  CWnd bound;
  EXPECT_TRUE(bound.Attach(plain));
  EXPECT_EQ(CWnd::FromHandle(plain), &bound);
  CWnd second;
  EXPECT_FALSE(second.Attach(plain));  // a window has one object
  EXPECT_EQ(bound.Detach(), plain);
  EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
  EXPECT_FALSE(second.Attach(reinterpret_cast<HWND>(uintptr_t{0x7777})));
  DestroyWindow(plain);
}

TEST_F(FrameworkTest, AfxRegisterClassRegistersUnderThePrefixOnce) {
  WNDCLASSW info{};
  ASSERT_TRUE(GetClassInfoW(AfxGetInstanceHandle(), u"WCE_fwtest", &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(info.hbrBackground), uintptr_t{0x4000001A});
  EXPECT_FALSE(GetClassInfoW(AfxGetInstanceHandle(), u"fwtest", &info));
  WNDCLASSW again{};
  again.lpfnWndProc = DefWindowProcW;
  again.lpszClassName = u"fwtest";
  EXPECT_TRUE(AfxRegisterClass(&again));  // already ours
  WNDCLASSW nameless{};
  nameless.lpfnWndProc = DefWindowProcW;
  EXPECT_FAILS_WITH(AfxRegisterClass(&nameless), FALSE, ERROR_INVALID_PARAMETER);
}

// --- The application ------------------------------------------------------------------

class KeyWindow : public MappedWindow {
 public:
  Calls seen;
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message != WM_KEYDOWN) return FALSE;
    seen.push_back((msg->hwnd == m_hWnd ? "main key " : "child key ") + std::to_string(msg->wParam));
    if (msg->wParam == VK_ESCAPE) {
      PostMessage(WM_CLOSE);
      return TRUE;
    }
    return msg->wParam == VK_TAB;
  }
};

class TestApp : public CWinApp {
 public:
  BOOL init_result = TRUE;
  KeyWindow* window = nullptr;
  HWND edit = nullptr;
  Calls dispatched;
  int exits = 0;

  BOOL InitInstance() override {
    window = new KeyWindow;
    if (!window->CreateEx(0, u"WCE_fwtest", u"App", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr)) return FALSE;
    m_pMainWnd = window;
    edit = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20, window->m_hWnd,
                           reinterpret_cast<HMENU>(259), nullptr, nullptr);
    // Queued input for the loop: the main window swallows Tab, lets other
    // keys through to the edit, and closes on Escape.
    PostMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(edit, WM_KEYDOWN, 'A', 0);
    PostMessageW(window->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    return init_result;
  }
  int ExitInstance() override {
    ++exits;
    return CWinApp::ExitInstance() + 7;
  }
};

TEST_F(FrameworkTest, RunRoutesPreTranslationUpToTheMainWindowAndEndsWithIt) {
  TestApp app;
  EXPECT_EQ(AfxGetApp(), &app);
  int code = AfxWinMain(reinterpret_cast<HINSTANCE>(uintptr_t{0x10000}), nullptr, const_cast<LPWSTR>(u"-x"), SW_SHOW);
  EXPECT_EQ(code, 7);  // WM_QUIT 0 from the main window's end, plus the override
  EXPECT_EQ(app.exits, 1);
  EXPECT_EQ(AfxGetInstanceHandle(), reinterpret_cast<HINSTANCE>(uintptr_t{0x10000}));
  EXPECT_EQ(std::u16string(app.m_lpCmdLine), u"-x");
  ASSERT_NE(app.window, nullptr);
  EXPECT_EQ(app.window->seen, (Calls{"child key 9", "child key 65", "main key 27"}));
  EXPECT_EQ(app.window->m_hWnd, nullptr);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  delete app.window;
}

TEST_F(FrameworkTest, FailedInitInstanceEndsAtOnceAndDestroysTheMainWindow) {
  TestApp app;
  app.init_result = FALSE;
  EXPECT_EQ(AfxWinMain(nullptr, nullptr, const_cast<LPWSTR>(u""), SW_SHOW), 7);
  EXPECT_EQ(app.exits, 1);
  EXPECT_TRUE(app.window->seen.empty());  // the loop never ran
  EXPECT_EQ(FindWindowW(u"WCE_fwtest", u"App"), nullptr);
  delete app.window;
}

TEST_F(FrameworkTest, WaitCursorNestsAndRestores) {
  TestApp app;
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  SetCursor(arrow);
  app.BeginWaitCursor();
  {
    CWaitCursor nested;
  }
  // Still on after the nested one ended.
  EXPECT_EQ(SetCursor(wait), wait);
  app.EndWaitCursor();
  EXPECT_EQ(SetCursor(arrow), arrow);
  app.EndWaitCursor();  // one too many changes nothing
  EXPECT_EQ(SetCursor(arrow), arrow);
}

// --- Dialogs -------------------------------------------------------------------------

constexpr UINT kNameDialog = 104;
const CE_DIALOG_ITEM kNameItems[] = {
    {u"EDIT", u"", 1001, WS_VISIBLE | WS_BORDER | WS_TABSTOP, 0, 10, 10, 100, 12},
    {u"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 10, 30, 40, 14},
    {u"BUTTON", u"Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 60, 30, 40, 14},
};
const CE_DIALOG_TEMPLATE kNameTemplate[] = {
    {kNameDialog, WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 0, 120, 60, u"Name", nullptr, 0, kNameItems, 3},
};

class NameDialog : public CDialog {
 public:
  explicit NameDialog(CWnd* parent) : CDialog(kNameDialog, parent) {}
  std::function<void(NameDialog&)> on_init;
  std::u16string typed;
  Calls keys;
  bool parent_was_enabled = true;

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    GetDlgItem(1001)->SetWindowText(u"initial");
    if (m_pParentWnd) parent_was_enabled = IsWindowEnabled(m_pParentWnd->m_hWnd);
    if (on_init) on_init(*this);
    return TRUE;
  }
  void OnOK() override {
    char16_t text[64] = {};
    GetWindowTextW(GetDlgItem(1001)->m_hWnd, text, 64);
    typed = text;
    CDialog::OnOK();
  }
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN) keys.push_back(std::to_string(msg->wParam));
    return CDialog::PreTranslateMessage(msg);
  }
};

class FrameworkDialogTest : public FrameworkTest {
 protected:
  FrameworkDialogTest() {
    CeRegisterDialogTemplates(AfxGetResourceHandle(), kNameTemplate, 1);
    EXPECT_TRUE(owner_.CreateEx(0, u"WCE_fwtest", u"Owner", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr));
  }
  MappedWindow owner_;
};

TEST_F(FrameworkDialogTest, DoModalRunsOnInitDialogAndReturnsTheOkResult) {
  NameDialog dlg(&owner_);
  dlg.on_init = [](NameDialog& d) {
    SetWindowTextW(GetDlgItem(d.m_hWnd, 1001), u"typed");
    PostMessageW(GetDlgItem(d.m_hWnd, IDOK), BM_CLICK, 0, 0);
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.typed, u"typed");
  EXPECT_FALSE(dlg.parent_was_enabled);  // the owner waits while the dialog runs
  EXPECT_TRUE(IsWindowEnabled(owner_.m_hWnd));
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(FindWindowW(u"Dialog", u"Name"), nullptr);
}

TEST_F(FrameworkDialogTest, KeysPassThroughPreTranslateMessageToTheDialogManager) {
  NameDialog dlg(&owner_);
  dlg.on_init = [](NameDialog& d) { PostMessageW(GetDlgItem(d.m_hWnd, 1001), WM_KEYDOWN, VK_ESCAPE, 0); };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.keys, (Calls{"27"}));
  EXPECT_TRUE(dlg.typed.empty());
}

TEST_F(FrameworkDialogTest, APressFromAnotherThreadEndsTheModalLoop) {
  NameDialog dlg(&owner_);
  std::thread presser;
  dlg.on_init = [&presser](NameDialog& d) {
    HWND ok = GetDlgItem(d.m_hWnd, IDOK);
    presser = std::thread([ok] { SendMessageW(ok, BM_CLICK, 0, 0); });
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  presser.join();
  EXPECT_EQ(dlg.typed, u"initial");
}

TEST_F(FrameworkDialogTest, UnknownTemplateGivesMinusOneAndLeavesTheOwnerEnabled) {
  CDialog dlg(999, &owner_);
  EXPECT_EQ(dlg.DoModal(), -1);
  EXPECT_TRUE(IsWindowEnabled(owner_.m_hWnd));
  EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(FrameworkDialogTest, ModelessDialogIsBoundAndEndsHidden) {
  NameDialog dlg(&owner_);
  ASSERT_TRUE(dlg.Create(kNameDialog, &owner_));
  EXPECT_EQ(CWnd::FromHandlePermanent(dlg.m_hWnd), &dlg);
  EXPECT_TRUE(IsWindowEnabled(owner_.m_hWnd));  // modeless: the owner stays usable
  char16_t text[32] = {};
  GetDlgItemTextW(dlg.m_hWnd, 1001, text, 32);
  EXPECT_EQ(std::u16string(text), u"initial");
  dlg.ShowWindow(SW_SHOW);
  dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
  EXPECT_FALSE(IsWindowVisible(dlg.m_hWnd));
}

}  // namespace

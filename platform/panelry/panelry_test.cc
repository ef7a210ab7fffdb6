// The window library on a scratch device: a main window's controls follow
// the screen between the portrait and landscape layouts and back, dialogs
// run their twin template in landscape and move to it when the screen
// turns while they are open, and the version box shows the program's texts.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "api_expect.h"
#include "panelry.h"
#include "scratch_device.h"

namespace {

constexpr int kCombo = 259;
constexpr int kBackup = 40002;
constexpr int kHidden = 300;

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// The control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, int id) {
  HWND child = GetDlgItem(parent, id);
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&r), 2);
  return r;
}

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A main window written as the programs write theirs.
class LayoutWindow : public CBaseWnd {
 public:
  LayoutWindow() : CBaseWnd(RECT{0, 0, 240, 320}) {}
  HWND bar = nullptr;
  int sizes = 0;

 protected:
  int OnCreate(LPCREATESTRUCT cs) {
    int result = CWnd::OnCreate(cs);
    bar = CommandBar_CreateForBase(nullptr, m_hWnd, 1);
    CommandBar_AddAdornments(bar, 0, 0);
    Add(u"STATIC", 0, 24, 28, 192, 54, RECT{10, 46, 310, 46}, kHidden);
    Add(u"COMBOBOX", kCombo, 80, 82, 136, 120, RECT{66, 46, 310, 166});
    Add(u"BUTTON", kBackup, 24, 106, 192, 24, RECT{10, 70, 155, 94});
    return result;
  }
  void OnSize(UINT, int, int) {
    ++sizes;
    CBaseWnd::OnSize();
  }
  void OnSettingChange(UINT flags, LPCWSTR section) { CBaseWnd::OnSettingChange(flags, section); }
  void OnDestroy() { CBaseWnd::OnDestroy(); }
  DECLARE_MESSAGE_MAP()

 private:
  void Add(LPCWSTR cls, int id, int x, int y, int w, int h, const RECT& landscape, int forced_id = 0) {
    int use = forced_id ? forced_id : id;
    HWND control = CreateBaseControlEx(0, cls, u"", 0x50000000, x, y, w, h, m_hWnd,
                                       reinterpret_cast<HMENU>(static_cast<uintptr_t>(use)), nullptr, nullptr);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(SetControlRect(control, landscape, kLandscapeLayout));
  }
};

BEGIN_MESSAGE_MAP(LayoutWindow, CBaseWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_SETTINGCHANGE()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

class PanelryTest : public ::testing::Test {
 protected:
  PanelryTest() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"layout";
    EXPECT_TRUE(AfxRegisterClass(&wc));
  }
  // As `cedev set orientation` does: the setting, then the broadcast.
  void Turn(bool landscape) {
    device_.device().UpdateSettings([&](cedev::DeviceSettings& s) { s.landscape = landscape; });
    PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
  }
  cedev::ScratchDevice device_;
};

TEST_F(PanelryTest, ControlsMoveToTheLandscapeRectanglesWhenTheScreenTurnsAndBack) {
  LayoutWindow wnd;
  ASSERT_TRUE(wnd.Create(u"WCE_layout", u"Layout", WS_VISIBLE));
  EXPECT_EQ(Show(WindowRect(wnd.m_hWnd)), "0,0,240,320");
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kCombo)), "80,82,216,202");
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kBackup)), "24,106,216,130");

  Turn(true);
  Pump();
  EXPECT_EQ(wnd.m_nLayout, kLandscapeLayout);
  EXPECT_EQ(Show(WindowRect(wnd.m_hWnd)), "0,0,320,240");
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kCombo)), "66,46,310,166");
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kBackup)), "10,70,155,94");
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kHidden)), "10,46,310,46");  // zero height: out of sight
  RECT bar{};
  GetWindowRect(wnd.bar, &bar);
  EXPECT_EQ(bar.right - bar.left, 320);  // the command bar spans the turned window

  Turn(false);
  Pump();
  EXPECT_EQ(wnd.m_nLayout, kPortraitLayout);
  EXPECT_EQ(Show(WindowRect(wnd.m_hWnd)), "0,0,240,320");
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kCombo)), "80,82,216,202");
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kHidden)), "24,28,216,82");
  EXPECT_GE(wnd.sizes, 2);
}

TEST_F(PanelryTest, AWindowMadeInLandscapeStartsInTheLandscapeLayout) {
  device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.landscape = true; });
  LayoutWindow wnd;
  ASSERT_TRUE(wnd.Create(u"WCE_layout", u"Layout", WS_VISIBLE));
  EXPECT_EQ(Show(WindowRect(wnd.m_hWnd)), "0,0,320,240");
  // SetControlRect put each control where the layout wants it at once.
  EXPECT_EQ(Show(ChildRect(wnd.m_hWnd, kBackup)), "10,70,155,94");
}

TEST_F(PanelryTest, SetControlRectRefusesStrangersAndUnknownLayouts) {
  HWND plain = CreateWindowExW(0, u"WCE_layout", u"plain", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(plain, nullptr);
  HWND control = CreateBaseControlEx(0, u"BUTTON", u"b", WS_VISIBLE, 1, 2, 3, 4, plain, nullptr, nullptr, nullptr);
  ASSERT_NE(control, nullptr);
  EXPECT_FAILS_WITH(SetControlRect(plain, RECT{0, 0, 1, 1}, kLandscapeLayout), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FAILS_WITH(SetControlRect(control, RECT{0, 0, 1, 1}, 2), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CreateBaseControlEx(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, plain, nullptr, nullptr, nullptr),
                    nullptr, ERROR_CANNOT_FIND_WND_CLASS);
  DestroyWindow(plain);
  EXPECT_FAILS_WITH(SetControlRect(control, RECT{0, 0, 1, 1}, kPortraitLayout), FALSE, ERROR_INVALID_WINDOW_HANDLE);
}

// --- Dialogs with a twin ----------------------------------------------------------------

constexpr UINT kPortraitTemplate = 104;
constexpr UINT kLandscapeTemplate = 109;
constexpr int kText = 1001;

const CE_DIALOG_ITEM kPortraitItems[] = {
    {u"STATIC", u"Working", kText, WS_VISIBLE, 0, 10, 100, 140, 12},
    {u"BUTTON", u"Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP, 0, 50, 180, 60, 16},
};
const CE_DIALOG_ITEM kLandscapeItems[] = {
    {u"STATIC", u"Working", kText, WS_VISIBLE, 0, 10, 40, 200, 12},
    {u"BUTTON", u"Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP, 0, 150, 120, 60, 16},
};
const CE_DIALOG_TEMPLATE kTwinTemplates[] = {
    {kPortraitTemplate, WS_POPUP | WS_VISIBLE, 0, 0, 0, 160, 213, u"Progress", nullptr, 0, kPortraitItems, 2},
    {kLandscapeTemplate, WS_POPUP | WS_VISIBLE, 0, 0, 0, 213, 160, u"Progress", nullptr, 0, kLandscapeItems, 2},
};
const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(uintptr_t{0x2000});

// Where the template item lands in the dialog, in pixels.
std::string ItemPlace(HWND dialog, const CE_DIALOG_ITEM& item) {
  RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
  MapDialogRect(dialog, &r);
  return Show(r);
}

class ProgressDialog : public CAutoDlg {
 public:
  explicit ProgressDialog(CWnd* parent) : CAutoDlg(kPortraitTemplate, parent, RECT{0, 0, 240, 320}, kModule) {
    RegistDialogResource(kLandscapeTemplate, kLandscapeLayout);
  }
  std::function<void(ProgressDialog&)> on_init;
  std::function<void(ProgressDialog&)> on_probe;
  int destroyed = 0;

  BOOL OnInitDialog() override {
    CAutoDlg::OnInitDialog();
    if (on_init) on_init(*this);
    return TRUE;
  }

 protected:
  void OnDestroy() {
    ++destroyed;
    CAutoDlg::OnDestroy();
  }
  LRESULT OnProbe(WPARAM, LPARAM) {
    if (on_probe) on_probe(*this);
    EndDialog(IDCANCEL);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProgressDialog, CAutoDlg)
  ON_WM_DESTROY()
  ON_MESSAGE(WM_APP, OnProbe)
END_MESSAGE_MAP()

class TwinDialogTest : public PanelryTest {
 protected:
  TwinDialogTest() { CeRegisterDialogTemplates(kModule, kTwinTemplates, 2); }
};

TEST_F(TwinDialogTest, PortraitRunsTheOwnTemplateAndLandscapeTheTwin) {
  std::string texts[2];
  for (bool landscape : {false, true}) {
    SCOPED_TRACE(landscape ? "landscape" : "portrait");
    device_.device().UpdateSettings([&](cedev::DeviceSettings& s) { s.landscape = landscape; });
    ProgressDialog dlg(nullptr);
    std::string window, text, cancel, expected_text, expected_cancel;
    dlg.on_init = [&](ProgressDialog& d) {
      window = Show(WindowRect(d.m_hWnd));
      text = Show(ChildRect(d.m_hWnd, kText));
      cancel = Show(ChildRect(d.m_hWnd, IDCANCEL));
      const CE_DIALOG_ITEM* items = landscape ? kLandscapeItems : kPortraitItems;
      expected_text = ItemPlace(d.m_hWnd, items[0]);
      expected_cancel = ItemPlace(d.m_hWnd, items[1]);
      PostMessageW(GetDlgItem(d.m_hWnd, IDCANCEL), BM_CLICK, 0, 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(window, landscape ? "0,0,320,240" : "0,0,240,320");
    EXPECT_EQ(text, expected_text);
    EXPECT_EQ(cancel, expected_cancel);
    EXPECT_EQ(dlg.destroyed, 1);
    texts[landscape] = text;
  }
  EXPECT_NE(texts[0], texts[1]);
}

TEST_F(TwinDialogTest, AnOpenDialogMovesToItsTwinWhenTheScreenTurns) {
  ProgressDialog dlg(nullptr);
  std::string before, expected_before, window, after, expected_after;
  dlg.on_init = [&](ProgressDialog& d) {
    before = Show(ChildRect(d.m_hWnd, IDCANCEL));
    expected_before = ItemPlace(d.m_hWnd, kPortraitItems[1]);
    Turn(true);
    // Queued behind the broadcast: looks once the dialog has turned.
    PostMessageW(d.m_hWnd, WM_APP, 0, 0);
  };
  dlg.on_probe = [&](ProgressDialog& d) {
    window = Show(WindowRect(d.m_hWnd));
    after = Show(ChildRect(d.m_hWnd, IDCANCEL));
    expected_after = ItemPlace(d.m_hWnd, kLandscapeItems[1]);
  };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(before, expected_before);
  EXPECT_EQ(window, "0,0,320,240");
  EXPECT_EQ(after, expected_after);
  EXPECT_NE(after, before);
  EXPECT_EQ(dlg.m_nLayout, kLandscapeLayout);
}

TEST_F(PanelryTest, AboutDialogShowsTheProgramsTextsAndEndsOnOk) {
  const CE_STRINGTABLE_ENTRY strings[] = {
      {9, u"Tool"}, {55, u"About"}, {56, u"2013"}, {57, u"Maker Inc."}, {108, u"1.09"},
  };
  CeRegisterStringTable(AfxGetResourceHandle(), strings, 5);
  LayoutWindow owner;
  ASSERT_TRUE(owner.Create(u"WCE_layout", u"Owner", WS_VISIBLE));
  std::u16string title, version, maker;
  bool owner_enabled = true;
  std::thread presser([&] {
    HWND box = nullptr;
    for (int i = 0; i < 10000 && !box; ++i) {
      // A dialog is listed before its items are made: wait until it is shown.
      box = FindWindowW(u"Dialog", u"About");
      if (box && !IsWindowVisible(box)) box = nullptr;
      if (!box) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_NE(box, nullptr);
    char16_t text[64] = {};
    GetDlgItemTextW(box, 101, text, 64);
    title = text;
    GetDlgItemTextW(box, 102, text, 64);
    version = text;
    GetDlgItemTextW(box, 103, text, 64);
    maker = text;
    owner_enabled = IsWindowEnabled(owner.m_hWnd);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(AboutDialog(9, 55, 103, 56, 57, 108, &owner), IDOK);
  presser.join();
  EXPECT_EQ(title, u"Tool");
  EXPECT_EQ(version, u"Version 1.09");
  EXPECT_EQ(maker, u"Copyright (C) 2013 Maker Inc.");
  EXPECT_FALSE(owner_enabled);
  EXPECT_TRUE(IsWindowEnabled(owner.m_hWnd));
}

}  // namespace

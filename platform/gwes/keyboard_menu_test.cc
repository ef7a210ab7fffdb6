// Keys (keybd_event to the foreground window, the thread's key state,
// accelerators), menus, the command bar and icons.
#include "gwes_test_fixture.h"

namespace cedev::gwes {
namespace {

using KeyboardMenuTest = GwesTest;

std::vector<std::pair<UINT, WPARAM>> KeysAndCommands(const std::vector<SeenMessage>& seen) {
  std::vector<std::pair<UINT, WPARAM>> out;
  for (const auto& m : seen) {
    if ((m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) || m.message == WM_COMMAND) {
      out.emplace_back(m.message, m.wparam);
    }
  }
  return out;
}

TEST_F(KeyboardMenuTest, KeysGoToTheFocusOfTheForegroundWindowAndGiveCharacters) {
  HWND main = CreateLoggedWindow(WS_VISIBLE);
  HWND control = CreateLoggedWindow(WS_CHILD | WS_VISIBLE, main, 7);
  SetFocus(control);
  log_.Take();
  keybd_event(VK_SHIFT, 0, 0, 0);
  keybd_event('Q', 0x10, 0, 0);
  keybd_event('Q', 0x10, KEYEVENTF_KEYUP, 0);
  keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
  MSG msg;
  bool shift_seen_down = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_KEYDOWN && msg.wParam == 'Q') {
      EXPECT_EQ(msg.hwnd, control);
      EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0x10);
      shift_seen_down = GetKeyState(VK_SHIFT) < 0;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  EXPECT_TRUE(shift_seen_down);
  EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(KeysAndCommands(log_.Take()),
            (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, 'Q'}, {WM_CHAR, u'Q'},
                                                  {WM_KEYUP, 'Q'}, {WM_KEYUP, VK_SHIFT}}));
}

TEST_F(KeyboardMenuTest, HeldKeysComeFromTheSettingAndFromKeysDown) {
  EXPECT_EQ(GetAsyncKeyState(0x35), 0);
  device_.device().UpdateSettings([](DeviceSettings& s) { s.keys_held = {0x35}; });
  EXPECT_EQ(GetAsyncKeyState(0x35) & 0x8000, 0x8000);
  keybd_event(VK_RETURN, 0, 0, 0);
  EXPECT_EQ(GetAsyncKeyState(VK_RETURN) & 0x8000, 0x8000);
  keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
  EXPECT_EQ(GetAsyncKeyState(VK_RETURN), 0);
}

const ACCEL kAccelerators[] = {{FVIRTKEY | FCONTROL, 'Q', 40001}, {0, 'x', 40009}};

TEST_F(KeyboardMenuTest, AcceleratorsTurnMatchingKeysIntoCommands) {
  CeRegisterAccelerators(nullptr, 101, kAccelerators, 2);
  HACCEL table = LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(101));
  ASSERT_NE(table, nullptr);
  EXPECT_FAILS_WITH(LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(102)), HACCEL{}, ERROR_RESOURCE_NAME_NOT_FOUND);
  HWND main = CreateLoggedWindow(WS_VISIBLE);
  log_.Take();
  auto translate_next = [&] {
    MSG msg;
    int translated = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (TranslateAcceleratorW(main, table, &msg)) {
        ++translated;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return translated;
  };
  keybd_event('Q', 0, 0, 0);  // without Ctrl: no match
  EXPECT_EQ(translate_next(), 0);
  keybd_event(VK_CONTROL, 0, 0, 0);
  keybd_event('Q', 0, 0, 0);
  keybd_event('Q', 0, KEYEVENTF_KEYUP, 0);
  keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
  EXPECT_EQ(translate_next(), 1);
  keybd_event('X', 0, 0, 0);  // a character entry matches the character
  EXPECT_EQ(translate_next(), 1);
  std::vector<WPARAM> commands;
  for (const auto& m : log_.Take()) {
    if (m.message == WM_COMMAND) commands.push_back(m.wparam);
  }
  EXPECT_EQ(commands, (std::vector<WPARAM>{MAKEWPARAM(40001, 1), MAKEWPARAM(40009, 1)}));
  MSG fake{main, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
  EXPECT_FAILS_WITH(TranslateAcceleratorW(main, reinterpret_cast<HACCEL>(uintptr_t{0x42}), &fake), 0,
                    ERROR_INVALID_ACCEL_HANDLE);
  EXPECT_TRUE(DestroyAcceleratorTable(table));
}

const CE_MENU_ITEM kViewItems[] = {{MF_STRING, 40005, u"Version", nullptr, 0},
                                   {MF_SEPARATOR, 0, nullptr, nullptr, 0},
                                   {MF_STRING | MF_GRAYED, 40002, u"Backup", nullptr, 0}};
const CE_MENU_ITEM kBar[] = {{MF_POPUP, 0, u"View", kViewItems, 3}};
const CE_MENU_TEMPLATE kMenus[] = {{101, kBar, 1}};

TEST_F(KeyboardMenuTest, MenusComeFromTheirTablesAndItemsAreFoundInsidePopups) {
  CeRegisterMenus(nullptr, kMenus, 1);
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(101));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 1);
  HMENU view = GetSubMenu(menu, 0);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(GetMenuItemID(view, 0), 40005u);
  EXPECT_EQ(EnableMenuItem(menu, 40002, MF_BYCOMMAND | MF_ENABLED), static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(EnableMenuItem(menu, 40002, MF_BYCOMMAND | MF_GRAYED), static_cast<UINT>(MF_ENABLED));
  EXPECT_EQ(GetMenuState(view, 2, MF_BYPOSITION), static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(EnableMenuItem(menu, 49999, MF_BYCOMMAND | MF_GRAYED), 0xFFFFFFFFu);
  WCHAR text[16];
  EXPECT_EQ(GetMenuStringW(menu, 40005, text, 16, MF_BYCOMMAND), 7);
  EXPECT_EQ(std::u16string(text), u"Version");
  // Each load is a menu of its own.
  HMENU again = LoadMenuW(nullptr, MAKEINTRESOURCEW(101));
  EXPECT_EQ(GetMenuState(again, 40002, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FAILS_WITH(GetMenuItemCount(menu), -1, ERROR_INVALID_MENU_HANDLE);
  EXPECT_FAILS_WITH(EnableMenuItem(menu, 40002, MF_GRAYED), 0xFFFFFFFFu, ERROR_INVALID_MENU_HANDLE);
}

TEST_F(KeyboardMenuTest, TheCommandBarCarriesTheMenuAndItsCloseAdornmentClosesTheWindow) {
  CeRegisterMenus(nullptr, kMenus, 1);
  HWND main = CreateLoggedWindow(WS_VISIBLE);
  HWND bar = CommandBar_Create(nullptr, main, 1);
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(CommandBar_IsVisible(bar));
  ASSERT_TRUE(CommandBar_InsertMenubar(bar, nullptr, 101, 0));
  ASSERT_TRUE(CommandBar_AddAdornments(bar, 0, 0));
  ASSERT_TRUE(CommandBar_Show(bar, TRUE));
  EXPECT_TRUE(CommandBar_IsVisible(bar));
  EXPECT_EQ(CommandBar_Height(bar), 26);
  HMENU menu = CommandBar_GetMenu(bar, 0);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(EnableMenuItem(menu, 40005, MF_BYCOMMAND | MF_GRAYED), static_cast<UINT>(MF_ENABLED));
  EXPECT_EQ(CommandBar_GetMenu(bar, 1), nullptr);
  HWND close = GetDlgItem(bar, CMDBAR_CLOSE_ID);
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(GetDlgItem(bar, CMDBAR_OK_ID), nullptr);
  log_.Take();
  SendMessageW(close, BM_CLICK, 0, 0);
  PumpPending();
  EXPECT_FALSE(IsWindow(main));
  EXPECT_FALSE(IsWindow(bar));
  Messages main_messages;
  for (const auto& m : log_.Take()) {
    if (m.hwnd == main && (m.message == WM_CLOSE || m.message == WM_DESTROY)) main_messages.push_back(m.message);
  }
  EXPECT_EQ(main_messages, (Messages{WM_CLOSE, WM_DESTROY}));
}

const CE_ICON_RESOURCE kIcons[] = {{103, u"the program's icon"}};

TEST_F(KeyboardMenuTest, IconsAreLoadedAtTheSizeAskedForAndSetOnWindows) {
  CeRegisterIcons(nullptr, kIcons, 1);
  HICON small = static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(103), IMAGE_ICON, 16, 16, 0));
  HICON big = LoadIconW(nullptr, MAKEINTRESOURCEW(103));
  ASSERT_TRUE(small && big);
  UINT id = 0;
  int cx = 0, cy = 0;
  ASSERT_TRUE(CeGetIconInfo(small, &id, &cx, &cy));
  EXPECT_EQ(id, 103u);
  EXPECT_EQ(cx, 16);
  ASSERT_TRUE(CeGetIconInfo(big, &id, &cx, &cy));
  EXPECT_EQ(cx, 32);
  EXPECT_EQ(cy, 32);
  EXPECT_FAILS_WITH(LoadImageW(nullptr, MAKEINTRESOURCEW(104), IMAGE_ICON, 16, 16, 0), HANDLE{},
                    ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_FAILS_WITH(LoadImageW(nullptr, MAKEINTRESOURCEW(103), IMAGE_BITMAP, 16, 16, 0), HANDLE{},
                    ERROR_RESOURCE_TYPE_NOT_FOUND);
  HWND w = CreateLoggedWindow(0);
  EXPECT_EQ(SendMessageW(w, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small)), 0);
  EXPECT_EQ(SendMessageW(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)), 0);
  EXPECT_EQ(SendMessageW(w, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(small));
  EXPECT_TRUE(DestroyIcon(small));
  EXPECT_FAILS_WITH(DestroyIcon(small), FALSE, ERROR_INVALID_ICON_HANDLE);
}

}  // namespace
}  // namespace cedev::gwes

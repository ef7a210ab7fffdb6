// The main window's class, icons and command bar menu, in this process: what
// another program cannot read from the window table.
#include "backup_app.h"

#include <gtest/gtest.h>

#include <string>

#include "app_state.h"
#include "main_window.h"
#include "program_setup.h"
#include "res/resource.h"
#include "scratch_device.h"

namespace {

std::u16string MenuText(HMENU menu, UINT item, UINT flags) {
  WCHAR text[64] = {0};
  GetMenuStringW(menu, item, text, 64, flags);
  return text;
}

HWND CommandBarOf(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    WCHAR name[64] = {0};
    GetClassNameW(child, name, 64);
    if (std::u16string(name) == TOOLBARCLASSNAMEW) return child;
  }
  return nullptr;
}

TEST(MainWindowInProcess, TheClassIconsAndMenuAreTheProgramsOwn) {
  cedev::ScratchDevice device;
  SetUpProgram(reinterpret_cast<HINSTANCE>(0x7A00));
  AutoRunCode = AUTORUN_NONE;
  ASSERT_TRUE(EnsureSingleInstance());
  WNDCLASSW registered;
  ASSERT_TRUE(GetClassInfoW(ModuleInstance, u"WCE_tlvkit", &registered));
  EXPECT_EQ(registered.style, UINT(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(registered.hbrBackground, reinterpret_cast<HBRUSH>(0x4000001A));
  EXPECT_EQ(registered.hIcon, nullptr);
  EXPECT_EQ(registered.hCursor, nullptr);
  EXPECT_EQ(registered.cbWndExtra, 0);

  MMainWnd window;
  ASSERT_NE(window.m_hWnd, nullptr);
  EXPECT_EQ(MainWindowHandle, window.m_hWnd);
  UINT id = 0;
  int cx = 0, cy = 0;
  ASSERT_TRUE(CeGetIconInfo(reinterpret_cast<HICON>(window.SendMessage(WM_GETICON, ICON_SMALL)), &id, &cx, &cy));
  EXPECT_EQ(id, UINT(IDI_MAIN));
  EXPECT_EQ(cx, 16);
  ASSERT_TRUE(CeGetIconInfo(reinterpret_cast<HICON>(window.SendMessage(WM_GETICON, ICON_BIG)), &id, &cx, &cy));
  EXPECT_EQ(id, UINT(IDI_MAIN));
  EXPECT_EQ(cx, 32);

  HWND bar = CommandBarOf(window.m_hWnd);
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(CommandBar_IsVisible(bar));
  HMENU menu = CommandBar_GetMenu(bar, 0);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(MenuText(menu, 0, MF_BYPOSITION), u"表示");
  HMENU view = GetSubMenu(menu, 0);
  ASSERT_EQ(GetMenuItemCount(view), 1);
  EXPECT_EQ(GetMenuItemID(view, 0), UINT(IDM_VERSION));
  EXPECT_EQ(MenuText(view, IDM_VERSION, MF_BYCOMMAND), u"ﾊﾞｰｼﾞｮﾝ情報");

  // A second start finds this window.
  EXPECT_FALSE(EnsureSingleInstance());
  EXPECT_EQ(GetForegroundWindow(), window.m_hWnd);
  window.DestroyWindow();
  EXPECT_FALSE(IsWindow(bar));
  EXPECT_EQ(MainWindowHandle, nullptr);
}

}  // namespace

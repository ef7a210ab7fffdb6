// The automation API on another program's windows, as tests and cedev use
// it: list, read, type, choose, press, wait.
#include "ce/automation.h"
#include "gwes_test_fixture.h"

namespace cedev::gwes {
namespace {

using AutomationTest = ProbeTest;
namespace automation = cedev::automation;

TEST_F(AutomationTest, ListsAnotherProgramsDialogWithItsItemsAndOperatesThem) {
  DWORD pid = 0;
  HANDLE probe = Start(u"dialog", &pid);
  HWND dialog = automation::WaitForWindow(u"Dialog", u"Probe dialog", 20000);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(automation::WaitForForeground(dialog, 20000));
  auto windows = automation::ListWindows();
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(windows.front().hwnd, dialog);  // the newest, and the foreground one
  EXPECT_TRUE(windows.front().foreground);
  EXPECT_TRUE(windows.front().dialog);
  EXPECT_EQ(windows.front().pid, pid);
  EXPECT_EQ(windows.front().text, u"Probe dialog");
  // 100 x 70 dialog units make a client area of 150 x 105, centred on the
  // 240 x 320 screen with its caption and frame around it.
  RECT r = windows.front().rect;
  EXPECT_EQ(r.right - r.left, 150 + 2 * 3);
  EXPECT_EQ(r.bottom - r.top, 105 + 2 * 3 + 24);
  EXPECT_EQ(r.left, (240 - (r.right - r.left)) / 2);

  auto items = automation::ListItems(dialog);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].class_name, u"EDIT");
  EXPECT_EQ(items[0].id, 1001u);
  EXPECT_TRUE(items[0].focused);  // the first tab stop takes the focus
  EXPECT_EQ(items[1].class_name, u"COMBOBOX");
  EXPECT_EQ(items[2].text, u"OK");
  EXPECT_TRUE(items[2].enabled);
  RECT edit = items[0].rect;
  EXPECT_EQ(edit.left - r.left, 3 + 12);  // 8 units in from the client area's edge
  EXPECT_EQ(edit.right - edit.left, 120);

  ASSERT_TRUE(automation::Type(items[0].hwnd, u"secret"));
  EXPECT_EQ(automation::Describe(items[0].hwnd)->text, u"******");
  ASSERT_TRUE(automation::PressItem(dialog, IDOK));
  EXPECT_TRUE(automation::WaitUntilGone(dialog, 20000));
  EXPECT_EQ(ExitCodeOf(probe), 11u);
  EXPECT_FALSE(automation::Describe(dialog).has_value());
}

TEST_F(AutomationTest, WaitingForAWindowThatDoesNotComeTimesOut) {
  SetLastError(kSentinel);
  EXPECT_EQ(automation::WaitForWindow(u"Dialog", u"Never", 50), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  HWND mine = CreateLoggedWindow(WS_VISIBLE);
  EXPECT_FAILS_WITH(automation::WaitUntilGone(mine, 50), false, ERROR_TIMEOUT);
}

TEST_F(AutomationTest, KeysGoToTheForegroundProgram) {
  HANDLE probe = Start(u"box 0x4 Keys");
  HWND box = automation::WaitForWindow(u"Dialog", u"Keys", 20000);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(automation::WaitForForeground(box, 20000));
  automation::SendKey(VK_TAB);  // from Yes to No
  automation::SendKey(VK_RETURN);
  EXPECT_EQ(ExitCodeOf(probe), static_cast<DWORD>(IDNO));
}

TEST_F(AutomationTest, PressingADisabledButtonIsRefused) {
  HWND main = CreateLoggedWindow(WS_VISIBLE);
  HWND button = CreateWindowExW(0, u"BUTTON", u"Restore", WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 0, 50, 20, main,
                                reinterpret_cast<HMENU>(uintptr_t{40003}), nullptr, nullptr);
  EXPECT_FAILS_WITH(automation::Press(button), false, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(automation::PressItem(main, 40004), true, kSentinel);  // no such button: the command
}

}  // namespace
}  // namespace cedev::gwes

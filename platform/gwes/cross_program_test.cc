// Windows of another program: found, read and pressed from here, with the
// data of the standard messages carried both ways; and a program that is
// killed, or never looks at its queue, cannot hang the caller.
#include <chrono>
#include <thread>

#include "gwes_test_fixture.h"

namespace cedev::gwes {
namespace {

using Clock = std::chrono::steady_clock;
using CrossProgramTest = ProbeTest;

TEST_F(CrossProgramTest, AWatcherFindsAResultBoxReadsItsIconAndPressesOk) {
  DWORD probe_pid = 0;
  HANDLE probe = Start(u"box 0x40040 Tolvane Utility", &probe_pid);
  HWND box = AwaitWindow(u"Dialog", u"Tolvane Utility");
  ASSERT_NE(box, nullptr);
  DWORD pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(box, &pid), 0u);
  EXPECT_EQ(pid, probe_pid);
  EXPECT_TRUE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
  WCHAR icon[10] = {};
  EXPECT_EQ(GetDlgItemTextW(box, CE_MSGBOX_ICON_ID, icon, 10), 2u);
  EXPECT_EQ(std::u16string(icon), (std::u16string{u'\xFFFF', u'\x0040'}));
  WCHAR text[32] = {};
  EXPECT_EQ(GetDlgItemTextW(box, CE_MSGBOX_TEXT_ID, text, 32), 10u);
  EXPECT_EQ(std::u16string(text), u"probe text");
  HWND ok = GetDlgItem(box, IDOK);
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(GetWindowLongW(ok, GWL_STYLE) & BS_DEFPUSHBUTTON);
  SendMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(ExitCodeOf(probe), static_cast<DWORD>(IDOK));
}

TEST_F(CrossProgramTest, TextsAndListsOfAnotherProgramsControlsTravelBothWays) {
  HANDLE probe = Start(u"dialog");
  HWND dialog = AwaitWindow(u"Dialog", u"Probe dialog");
  ASSERT_NE(dialog, nullptr);
  HWND edit = GetDlgItem(dialog, 1001);
  HWND combo = GetDlgItem(dialog, 259);
  ASSERT_TRUE(edit && combo);
  EXPECT_TRUE(SetWindowTextW(edit, u"secret"));
  WCHAR text[32];
  // A password shows as its mask to everyone but its own program.
  EXPECT_EQ(GetWindowTextW(edit, text, 32), 6);
  EXPECT_EQ(std::u16string(text), u"******");
  EXPECT_EQ(SendMessageW(edit, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)), 6);
  EXPECT_EQ(std::u16string(text), u"******");
  DWORD start = 99, end = 99;
  SendMessageW(edit, EM_SETSEL, 1, 4);
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 4u);

  EXPECT_EQ(SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"FlashDisk")), 0);
  EXPECT_EQ(SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Storage Card")), 1);
  EXPECT_EQ(SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"stor")), 1);
  EXPECT_EQ(GetWindowTextW(combo, text, 32), 12);
  EXPECT_EQ(std::u16string(text), u"Storage Card");
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 0, 0), 9);
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text)), 9);
  EXPECT_EQ(std::u16string(text), u"FlashDisk");
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 5, reinterpret_cast<LPARAM>(text)), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);

  // The probe answers 11 only when its own reading of the edit is "secret".
  SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(ExitCodeOf(probe), 11u);
}

TEST_F(CrossProgramTest, TwoProgramsSendingToEachOtherServeEachOther) {
  Start(u"echo");
  HWND echo = AwaitWindow(u"Probe", u"Echo");
  ASSERT_NE(echo, nullptr);
  HWND mine = CreateLoggedWindow(0);
  log_.handler = [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_USER + 1) return static_cast<LRESULT>(wp * 10);
    return std::nullopt;
  };
  EXPECT_EQ(SendMessageW(echo, WM_USER, 4, reinterpret_cast<LPARAM>(mine)), 41);
  EXPECT_TRUE(IsWindow(echo));
  EXPECT_TRUE(PostMessageW(echo, WM_CLOSE, 0, 0)) << GetLastError();
}

TEST_F(CrossProgramTest, MessagesWhoseDataCannotCrossAreRefused) {
  Start(u"echo");
  HWND echo = AwaitWindow(u"Probe", u"Echo");
  ASSERT_NE(echo, nullptr);
  CREATESTRUCTW cs{};
  EXPECT_FAILS_WITH(SendMessageW(echo, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)), 0, ERROR_NOT_SUPPORTED);
  EXPECT_EQ(GetWindowTextLengthW(echo), 4);
}

TEST_F(CrossProgramTest, AKilledProgramsWindowsVanishAtOnceAndSendsToThemFail) {
  HANDLE probe = Start(u"box 0x10 Doomed");
  HWND box = AwaitWindow(u"Dialog", u"Doomed");
  ASSERT_NE(box, nullptr);
  HWND ok = GetDlgItem(box, IDOK);
  ASSERT_TRUE(TerminateProcess(probe, 9));
  ASSERT_EQ(WaitForSingleObject(probe, 20000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_FALSE(IsWindow(ok));
  EXPECT_EQ(FindWindowW(u"Dialog", u"Doomed"), nullptr);
  WCHAR text[10] = {u'#'};
  EXPECT_FAILS_WITH(GetDlgItemTextW(box, CE_MSGBOX_ICON_ID, text, 10), 0u, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FAILS_WITH(SendMessageW(box, WM_COMMAND, IDOK, 0), 0, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FAILS_WITH(PostMessageW(box, WM_CLOSE, 0, 0), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  DWORD_PTR result = 0;
  EXPECT_FAILS_WITH(SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0,
                    ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(CrossProgramTest, ASendThatWaitsForAProgramFailsWhenTheProgramIsKilled) {
  HANDLE probe = Start(u"hang Stuck");
  HWND stuck = AwaitWindow(u"Probe", u"Stuck");
  ASSERT_NE(stuck, nullptr);
  std::thread killer([probe] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    TerminateProcess(probe, 9);
  });
  EXPECT_FAILS_WITH(SendMessageW(stuck, WM_USER, 0, 0), 0, ERROR_INVALID_WINDOW_HANDLE);
  killer.join();
}

class HungProgramTest : public ProbeTest {
 protected:
  // Five seconds of silence make a hung program; fifty times faster here.
  HungProgramTest() : ProbeTest(Fast()) {}
  static DeviceSettings Fast() {
    DeviceSettings s = ScratchDevice::DefaultSettings();
    s.time_scale = 50;
    return s;
  }
};

TEST_F(HungProgramTest, AProgramThatNeverLooksAtItsQueueCannotHangATimedSend) {
  Start(u"hang Stuck");
  HWND stuck = AwaitWindow(u"Probe", u"Stuck");
  ASSERT_NE(stuck, nullptr);
  DWORD_PTR result = 0x5A5A;
  EXPECT_FAILS_WITH(SendMessageTimeoutW(stuck, WM_USER, 0, 0, SMTO_NORMAL, 2000, &result), 0, ERROR_TIMEOUT);
  EXPECT_EQ(result, 0x5A5Au);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // more than 5 s of device time
  auto start = Clock::now();
  EXPECT_FAILS_WITH(SendMessageTimeoutW(stuck, WM_USER, 0, 0, SMTO_ABORTIFHUNG, 1000000, &result), 0, ERROR_TIMEOUT);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace cedev::gwes

// The device's own programs with their windows, operated from another
// program as the auto-restore tool, a test or a person through cedev would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "ce/automation.h"
#include "device_control.h"
#include "scratch_device.h"

namespace {

namespace automation = cedev::automation;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr DWORD kPatienceMs = 20000;

class DevicePrograms : public ::testing::Test {
 protected:
  explicit DevicePrograms(LANGID language = 0x0409) : device_(Settings(language)) {
    std::filesystem::path windows = device_.dir() / "store" / "Windows";
    std::filesystem::create_directories(windows);
    for (const char* program : {"welcome", "ctlpnl", "peghelp"}) {
      std::ofstream(windows / (std::string(program) + ".exe")) << "#!cedev-program " << program << "\n";
    }
  }
  ~DevicePrograms() override {
    for (HANDLE process : started_) CloseHandle(process);
  }

  static cedev::DeviceSettings Settings(LANGID language) {
    cedev::DeviceSettings s = cedev::ScratchDevice::DefaultSettings();
    s.ui_language = language;
    return s;
  }

  HANDLE Start(LPCWSTR program, LPCWSTR command_line = u"") {
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessW(program, command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    CloseHandle(pi.hThread);
    started_.push_back(pi.hProcess);
    return pi.hProcess;
  }

  // The exit code once the program has ended; -1 when it did not end.
  static int ExitCodeOf(HANDLE process) {
    if (WaitForSingleObject(process, kPatienceMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
  }

  static std::vector<std::string> Journal(const char* kind) {
    std::vector<std::string> lines;
    for (const auto& e : cedev::JournalRead()) {
      if (e.kind == kind) lines.push_back(e.text);
    }
    return lines;
  }

  static std::u16string ItemText(HWND dialog, int id) {
    WCHAR text[128] = {};
    GetDlgItemTextW(dialog, id, text, 128);
    return text;
  }

  int64_t ClockOffset() { return device_.device().Settings().clock_offset_ms; }

  cedev::ScratchDevice device_;
  std::vector<HANDLE> started_;
};

class DeviceProgramsInJapanese : public DevicePrograms {
 protected:
  DeviceProgramsInJapanese() : DevicePrograms(0x0411) {}
};

TEST_F(DevicePrograms, TheWelcomeProgramEndsWithItsWindowHoweverItIsClosed) {
  // The auto-restore tool's way: WM_DESTROY sent from another program, then
  // a wait for the process with no time limit.
  HANDLE welcome = Start(u"\\Windows\\welcome.exe");
  HWND window = automation::WaitForWindow(u"WELCOME", nullptr, kPatienceMs);
  ASSERT_NE(window, nullptr);
  SendMessageW(window, WM_DESTROY, 0, 0);
  EXPECT_EQ(ExitCodeOf(welcome), 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FindWindowW(u"WELCOME", nullptr), nullptr);

  // A person closing it.
  HANDLE again = Start(u"\\Windows\\welcome.exe");
  window = automation::WaitForWindow(u"WELCOME", nullptr, kPatienceMs);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(automation::Close(window));
  EXPECT_EQ(ExitCodeOf(again), 0);
  EXPECT_THAT(Journal("welcome"), ::testing::ElementsAre("welcome program ran", "welcome window closed",
                                                         "welcome program ran", "welcome window closed"));
}

TEST_F(DevicePrograms, TheClockDialogShowsTheLocalTimeAndClosingItChangesNothing) {
  int64_t offset = ClockOffset();
  SYSTEMTIME before{};
  GetLocalTime(&before);
  HANDLE panel = Start(u"ctlpnl.exe", u"clock");
  HWND dialog = automation::WaitForWindow(u"Dialog", u"Date/Time Properties", kPatienceMs);
  ASSERT_NE(dialog, nullptr);
  std::vector<std::u16string> texts;
  for (const auto& item : automation::ListItems(dialog)) texts.push_back(item.text);
  EXPECT_THAT(texts, Contains(u"OK"));
  EXPECT_THAT(texts, Contains(u"Cancel"));
  // Prefilled with the device's local time (the year alone cannot have moved
  // on unless the test ran over New Year).
  std::string date = cedev::ToUtf8(ItemText(dialog, 1001));
  EXPECT_THAT(date, ::testing::MatchesRegex("[0-9]{4}/[0-9]{2}/[0-9]{2}"));
  EXPECT_THAT(cedev::ToUtf8(ItemText(dialog, 1002)), ::testing::MatchesRegex("[0-9]{2}:[0-9]{2}:[0-9]{2}"));
  EXPECT_GE(std::stoi(date.substr(0, 4)), before.wYear);

  ASSERT_TRUE(automation::Close(dialog));  // WM_CLOSE, as the auto-restore tool sends
  EXPECT_EQ(ExitCodeOf(panel), 0);
  EXPECT_EQ(ClockOffset(), offset);

  // Cancel, even after typing, changes nothing either.
  panel = Start(u"ctlpnl.exe", u"clock");
  dialog = automation::WaitForWindow(u"Dialog", u"Date/Time Properties", kPatienceMs);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(automation::SetText(GetDlgItem(dialog, 1001), u"2031/05/06"));
  ASSERT_TRUE(automation::PressItem(dialog, IDCANCEL));
  EXPECT_EQ(ExitCodeOf(panel), 0);
  EXPECT_EQ(ClockOffset(), offset);
  EXPECT_THAT(Journal("ctlpnl"), ::testing::ElementsAre("clock settings opened", "clock settings closed without change",
                                                        "clock settings opened", "clock settings closed without change"));
}

TEST_F(DevicePrograms, OkSetsTheDeviceClockToWhatWasTypedAndRefusesWhatIsNoTime) {
  HANDLE panel = Start(u"ctlpnl.exe", u"clock");
  HWND dialog = automation::WaitForWindow(u"Dialog", u"Date/Time Properties", kPatienceMs);
  ASSERT_NE(dialog, nullptr);
  int64_t offset = ClockOffset();

  // No such day: the applet says so in a box and the dialog stays.
  ASSERT_TRUE(automation::SetText(GetDlgItem(dialog, 1001), u"2031/02/29"));
  // Posted: a sent press would wait for the box the press opens.
  ASSERT_TRUE(PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0));
  HWND box = nullptr;
  for (int i = 0; i < 4000 && !box; ++i) {
    for (const auto& w : automation::ListWindows()) {
      if (w.message_box && w.visible && w.owner == dialog) box = w.hwnd;
    }
    if (!box) Sleep(5);
  }
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ClockOffset(), offset);
  ASSERT_TRUE(automation::PressItem(box, IDOK));
  ASSERT_TRUE(automation::WaitUntilGone(box, kPatienceMs));
  EXPECT_TRUE(IsWindow(dialog));

  ASSERT_TRUE(automation::SetText(GetDlgItem(dialog, 1001), u"2031/03/01"));
  ASSERT_TRUE(automation::SetText(GetDlgItem(dialog, 1002), u"04:05"));
  ASSERT_TRUE(automation::PressItem(dialog, IDOK));
  EXPECT_EQ(ExitCodeOf(panel), 0);
  EXPECT_NE(ClockOffset(), offset);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, 2031);
  EXPECT_EQ(now.wMonth, 3);
  EXPECT_EQ(now.wDay, 1);
  EXPECT_EQ(now.wHour, 4);
  EXPECT_GE(now.wMinute, 5);  // the clock runs on from 04:05:00
  EXPECT_LE(now.wMinute, 6);
  EXPECT_THAT(Journal("ctlpnl"),
              ::testing::ElementsAre("clock settings opened",
                                     ::testing::StartsWith("clock settings refused date \"2031/02/29\" time "),
                                     "clock set to 2031/03/01 04:05:00"));
}

TEST_F(DevicePrograms, OkOnTheUntouchedClockKeepsTheRunningClock) {
  HANDLE panel = Start(u"ctlpnl.exe", u"clock");
  HWND dialog = automation::WaitForWindow(u"Dialog", u"Date/Time Properties", kPatienceMs);
  ASSERT_NE(dialog, nullptr);
  int64_t offset = ClockOffset();
  ASSERT_TRUE(automation::PressItem(dialog, IDOK));
  EXPECT_EQ(ExitCodeOf(panel), 0);
  EXPECT_EQ(ClockOffset(), offset);
  EXPECT_THAT(Journal("ctlpnl"), Contains("clock settings closed with OK, unchanged"));
}

TEST_F(DevicePrograms, TheOwnerDialogKeepsNameAndCompanyInTheRegistry) {
  HANDLE panel = Start(u"ctlpnl.exe", u"owner");
  HWND dialog = automation::WaitForWindow(u"Dialog", u"Owner Properties", kPatienceMs);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, 1001), u"");
  ASSERT_TRUE(automation::Type(GetDlgItem(dialog, 1001), u"Aiko Tanaka"));
  ASSERT_TRUE(automation::Type(GetDlgItem(dialog, 1002), u"Velta"));
  ASSERT_TRUE(automation::PressItem(dialog, IDOK));
  EXPECT_EQ(ExitCodeOf(panel), 0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"ControlPanel\\Owner", 0, 0, &key), ERROR_SUCCESS);
  WCHAR name[64] = {};
  DWORD type = 0, bytes = sizeof(name);
  EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"Aiko Tanaka");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  RegCloseKey(key);
  EXPECT_THAT(Journal("ctlpnl"), Contains("owner set: name \"Aiko Tanaka\" company \"Velta\""));

  // The next time the dialog shows what is kept.
  panel = Start(u"ctlpnl.exe", u"owner");
  dialog = automation::WaitForWindow(u"Dialog", u"Owner Properties", kPatienceMs);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, 1002), u"Velta");
  ASSERT_TRUE(automation::Close(dialog));
  EXPECT_EQ(ExitCodeOf(panel), 0);
}

TEST_F(DeviceProgramsInJapanese, TheDialogsAreTitledInTheUiLanguage) {
  HANDLE clock = Start(u"ctlpnl.exe", u"clock");
  HWND dialog = automation::WaitForWindow(u"Dialog", u"日付/時刻のプロパティ", kPatienceMs);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(FindWindowW(u"Dialog", u"Date/Time Properties"), nullptr);
  HANDLE owner = Start(u"ctlpnl.exe", u"owner");
  HWND owner_dialog = automation::WaitForWindow(u"Dialog", u"所有者情報のプロパティ", kPatienceMs);
  ASSERT_NE(owner_dialog, nullptr);
  // The auto-restore tool closes both with WM_CLOSE.
  SendMessageW(owner_dialog, WM_CLOSE, 0, 0);
  SendMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCodeOf(owner), 0);
  EXPECT_EQ(ExitCodeOf(clock), 0);
}

TEST_F(DevicePrograms, TheHelpViewerShowsTheTopicUntilClosed) {
  HANDLE help = Start(u"peghelp.exe", u"file:Tolvane.htm#Main_Contents");
  HWND viewer = automation::WaitForWindow(nullptr, u"file:Tolvane.htm#Main_Contents", kPatienceMs);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(WaitForSingleObject(help, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(automation::Close(viewer));
  EXPECT_EQ(ExitCodeOf(help), 0);
  EXPECT_THAT(Journal("peghelp"), ::testing::ElementsAre("help shown: file:Tolvane.htm#Main_Contents", "help closed"));
}

TEST_F(DevicePrograms, OtherAppletsAndUnknownOnesEndAtOnce) {
  EXPECT_EQ(ExitCodeOf(Start(u"ctlpnl.exe", u"power")), 0);
  EXPECT_EQ(ExitCodeOf(Start(u"ctlpnl.exe", u"nonsense")), 1);
  EXPECT_THAT(Journal("ctlpnl"), ::testing::ElementsAre("power settings opened and closed", "unknown applet nonsense"));
}

}  // namespace

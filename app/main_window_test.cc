// The main program as the device runs it: started on a scratch device,
// its main window read and operated from this test program through the
// window table and the automation API, cards inserted and removed with
// cedev, keys sent as a person would press them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "ce/automation.h"
#include "date_text.h"
#include "device_control.h"
#include "res/resource.h"
#include "scratch_device.h"
#include "terminal_root_testing.h"
#include "tool_runner.h"

namespace {

namespace automation = cedev::automation;

constexpr LPCWSTR kMainClass = u"WCE_tlvkit";

// Waits (real time) until `done` holds; the window refreshes once a second.
bool Eventually(const std::function<bool()>& done, int seconds = 15) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

std::string Utf8(const std::u16string& text) { return cedev::ToUtf8(text); }

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

class MainProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = std::make_unique<cedev::ScratchDevice>(Settings());
    MakeTerminalRootFolders();
    std::ofstream(device_->dir() / "store" / "Windows" / "tolvane.exe") << "#!cedev-program tolvane\n";
  }

  virtual cedev::DeviceSettings Settings() { return TerminalRootSettings(); }

  void TearDown() override {
    for (HANDLE process : processes_) {
      if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
      CloseHandle(process);
    }
  }

  // Starts the program; its process handle is kept (and the program ended
  // with the test if it still runs).
  HANDLE Start(LPCWSTR commandLine = u"") {
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(u"\\Windows\\tolvane.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                        &pi)) {
      ADD_FAILURE() << "the program did not start";
      return nullptr;
    }
    CloseHandle(pi.hThread);
    processes_.push_back(pi.hProcess);
    return pi.hProcess;
  }

  // Starts the program for a person and waits for its whole window.
  HWND StartInteractive() {
    Start();
    HWND main = automation::WaitForWindow(kMainClass, nullptr, 20000);
    EXPECT_NE(main, nullptr);
    if (!main) return nullptr;
    main_ = main;
    // The window is listed before WM_CREATE has made its controls.
    EXPECT_TRUE(Eventually([&] { return Item(IDC_USED_MEMORY_LINE).hwnd != nullptr; }));
    return main;
  }

  // The window's own controls (not the command bar's), in creation order.
  std::vector<automation::WindowInfo> Controls() {
    std::vector<automation::WindowInfo> controls;
    for (const automation::WindowInfo& item : automation::ListItems(main_)) {
      if (item.parent == main_ && item.class_name != TOOLBARCLASSNAMEW) controls.push_back(item);
    }
    return controls;
  }

  automation::WindowInfo Item(UINT id) {
    for (const automation::WindowInfo& item : Controls()) {
      if (item.id == id) return item;
    }
    return automation::WindowInfo();
  }

  std::u16string Text(UINT id) { return Item(id).text; }
  bool Enabled(UINT id) { return Item(id).enabled; }
  bool Focused(UINT id) { return Item(id).focused; }

  int Cedev(std::vector<std::string> args) { return CedevResult(args).exit_code; }

  tlvtest::ToolResult CedevResult(std::vector<std::string> args) {
    args.insert(args.begin(), {"-d", device_->dir().string()});
    tlvtest::ToolResult result = tlvtest::RunTool("cedev", args);
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    return result;
  }

  // The message boxes journalled since the last call.
  std::string NewBoxes() {
    std::string all = CedevResult({"events", "--kind", "msgbox"}).out;
    std::string fresh = all.substr(std::min(all.size(), boxes_seen_));
    boxes_seen_ = all.size();
    return fresh;
  }

  static std::u16string FreeSpaceLine(LPCWSTR location) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(location, &available, &total, &free)) return u"(no free space)";
    return std::u16string(location) + u": " + Wide(std::to_string(free.QuadPart >> 10)) + u"KB未使用";
  }

  static std::u16string UsedMemoryLine() {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(u"\\", &available, &total, &free)) return u"(no store)";
    return u"ﾃﾞｰﾀ記憶用ﾒﾓﾘ: " + Wide(std::to_string((total.QuadPart - free.QuadPart) >> 10)) + u"KB使用中";
  }

  // A data archive at the location, written at `time` (UTC).
  static void PutArchive(LPCWSTR location, const SYSTEMTIME& time) {
    std::u16string folder = std::u16string(u"\\") + location + u"\\Backup";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    std::u16string path = folder + u"\\Backup.dat";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "archive", 7, &written, nullptr));
    FILETIME at;
    ASSERT_TRUE(SystemTimeToFileTime(&time, &at));
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &at));
    CloseHandle(file);
  }

  static std::u16string DateText(const SYSTEMTIME& utc) {
    FILETIME at, local;
    SystemTimeToFileTime(&utc, &at);
    FileTimeToLocalFileTime(&at, &local);
    WCHAR text[64];
    FormatBackupDate(local, text, 64);
    return text;
  }

  bool EndsWithCode(HANDLE process, DWORD expected) {
    if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) return false;
    DWORD code = 0xFFFF;
    GetExitCodeProcess(process, &code);
    return code == expected;
  }

  std::unique_ptr<cedev::ScratchDevice> device_;
  std::vector<HANDLE> processes_;
  HWND main_ = nullptr;
  size_t boxes_seen_ = 0;
};

struct ExpectedControl {
  const char16_t* className;
  UINT id;
  const char16_t* text;
  DWORD style;
  RECT portrait;   // left, top, right, bottom
  RECT landscape;
};

const ExpectedControl kExpected[] = {
    {u"STATIC", 0, u"ﾒﾓﾘｶｰﾄﾞへﾕｰｻﾞﾃﾞｰﾀの保存、復元をおこなうｿﾌﾄｳｪｱです。", 0x50000000, {24, 28, 216, 82},
     {10, 46, 310, 46}},
    {u"STATIC", 0, u"保存場所:", 0x50000000, {24, 86, 80, 102}, {10, 50, 66, 66}},
    {u"COMBOBOX", 259, nullptr, 0x50200003, {80, 82, 216, 202}, {66, 46, 310, 166}},
    {u"BUTTON", 40002, u"バックアップ", 0x50000000, {24, 106, 216, 130}, {10, 70, 155, 94}},
    {u"BUTTON", 40003, u"リストア", 0x50000000, {24, 154, 216, 178}, {165, 70, 310, 94}},
    {u"STATIC", 0, u"最終ﾊﾞｯｸｱｯﾌﾟ日", 0x50000001, {24, 178, 216, 198}, {165, 94, 310, 114}},
    {u"STATIC", 265, u"", 0x50000001, {24, 198, 216, 218}, {165, 114, 310, 134}},
    {u"BUTTON", 40004, u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの削除", 0x50000000, {24, 218, 216, 242}, {10, 134, 310, 158}},
    {u"STATIC", 266, nullptr, 0x50000001, {24, 242, 216, 262}, {10, 158, 310, 178}},
    {u"STATIC", 267, nullptr, 0x50000001, {24, 262, 216, 277}, {10, 178, 310, 193}},
};

TEST_F(MainProgram, TheWindowShowsItsTenControlsForTheLocationsTheDeviceHas) {
  HWND main = StartInteractive();
  ASSERT_NE(main, nullptr);
  std::optional<automation::WindowInfo> window = automation::Describe(main);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->text, u"Tolvane Utility");
  EXPECT_EQ(Show(window->rect), "0,0,240,320");

  std::vector<automation::WindowInfo> controls = Controls();
  ASSERT_EQ(controls.size(), std::size(kExpected));
  for (size_t i = 0; i < controls.size(); ++i) {
    const ExpectedControl& e = kExpected[i];
    SCOPED_TRACE("control " + std::to_string(i + 1));
    EXPECT_EQ(controls[i].class_name, e.className);
    EXPECT_EQ(controls[i].id, e.id);
    if (e.text) {
      EXPECT_EQ(controls[i].text, e.text);
    }
    EXPECT_EQ(controls[i].style & ~WS_DISABLED, e.style);
    EXPECT_EQ(Show(controls[i].rect), Show(e.portrait));
    EXPECT_EQ(controls[i].style & WS_TABSTOP, 0u) << "the keyboard goes through MoveFocus only";
  }

  // The cards and FlashDisk, never "Temp" nor the mounted system folders;
  // the first is chosen.
  std::vector<std::u16string> items = automation::ComboItems(Item(IDC_LOCATION_BOX).hwnd);
  std::vector<std::u16string> sorted = items;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::u16string>{u"Card Slot", u"FlashDisk", u"Storage Card"}));
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(Text(IDC_LOCATION_BOX), items.front());
  EXPECT_TRUE(Enabled(IDC_LOCATION_BOX));

  // No archive yet: only Backup can run.
  EXPECT_TRUE(Enabled(IDM_BACKUP));
  EXPECT_FALSE(Enabled(IDM_RESTORE));
  EXPECT_FALSE(Enabled(IDM_DELETE));
  EXPECT_EQ(Text(IDC_LAST_BACKUP_LINE), u"");
  std::u16string chosen = items.front();
  EXPECT_TRUE(Eventually([&] { return Text(IDC_FREE_SPACE_LINE) == FreeSpaceLine(chosen.c_str()); }))
      << Utf8(Text(IDC_FREE_SPACE_LINE)) << " / " << Utf8(FreeSpaceLine(chosen.c_str()));
  EXPECT_TRUE(Eventually([&] { return Text(IDC_USED_MEMORY_LINE) == UsedMemoryLine(); }))
      << Utf8(Text(IDC_USED_MEMORY_LINE)) << " / " << Utf8(UsedMemoryLine());
}

// The card without a quota shows the host's free space, which is over
// 4 GiB on any build machine: the figure must come from the whole count.
TEST_F(MainProgram, ALargeCardShowsItsWholeFreeSpace) {
  ASSERT_NE(StartInteractive(), nullptr);
  ULARGE_INTEGER available, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"Storage Card", &available, &total, &free));
  ASSERT_TRUE(automation::Select(Item(IDC_LOCATION_BOX).hwnd, u"Storage Card"));
  EXPECT_TRUE(Eventually([&] { return Text(IDC_FREE_SPACE_LINE) == FreeSpaceLine(u"Storage Card"); }))
      << Utf8(Text(IDC_FREE_SPACE_LINE)) << " / " << Utf8(FreeSpaceLine(u"Storage Card"));
  if (free.QuadPart < (4ull << 30)) GTEST_SKIP() << "the host has less than 4 GiB free";
}

TEST_F(MainProgram, CardsInsertedAndRemovedShowAtOnceAndTheChoiceIsKept) {
  ASSERT_NE(StartInteractive(), nullptr);
  HWND box = Item(IDC_LOCATION_BOX).hwnd;
  ASSERT_TRUE(automation::Select(box, u"Storage Card"));

  Cedev({"volume", "add", "Card2"});
  EXPECT_TRUE(Eventually([&] {
    std::vector<std::u16string> items = automation::ComboItems(box);
    return std::find(items.begin(), items.end(), u"Card2") != items.end();
  }));
  EXPECT_EQ(Text(IDC_LOCATION_BOX), u"Storage Card") << "the choice survives the new list";

  // The chosen card goes: the box falls back to its first location.
  Cedev({"volume", "remove", "Storage Card"});
  EXPECT_TRUE(Eventually([&] { return automation::ComboItems(box).size() == 3; }));
  std::vector<std::u16string> items = automation::ComboItems(box);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(Text(IDC_LOCATION_BOX), items.front());
  EXPECT_TRUE(Eventually([&] { return Text(IDC_FREE_SPACE_LINE) == FreeSpaceLine(items.front().c_str()); }));
}

// A device with no card and no FlashDisk, until one is inserted.
class BareMainProgram : public MainProgram {
 protected:
  cedev::DeviceSettings Settings() override {
    cedev::DeviceSettings s = TerminalRootSettings();
    s.volumes.clear();
    s.mounted_folders = {"Release", "ネットワーク"};
    return s;
  }
};

TEST_F(BareMainProgram, WithoutALocationNothingCanRunUntilACardComes) {
  ASSERT_NE(StartInteractive(), nullptr);
  HWND box = Item(IDC_LOCATION_BOX).hwnd;
  EXPECT_TRUE(automation::ComboItems(box).empty());
  EXPECT_FALSE(Enabled(IDC_LOCATION_BOX));
  EXPECT_FALSE(Enabled(IDM_BACKUP));
  EXPECT_FALSE(Enabled(IDM_RESTORE));
  EXPECT_FALSE(Enabled(IDM_DELETE));
  EXPECT_EQ(Text(IDC_LAST_BACKUP_LINE), u"");
  EXPECT_EQ(Text(IDC_FREE_SPACE_LINE), u"");
  EXPECT_EQ(Text(IDC_USED_MEMORY_LINE), UsedMemoryLine()) << "the object store is always there";

  Cedev({"volume", "add", "SD"});
  EXPECT_TRUE(Eventually([&] { return Enabled(IDM_BACKUP); }));
  EXPECT_EQ(automation::ComboItems(box), std::vector<std::u16string>{u"SD"});
  EXPECT_EQ(Text(IDC_LOCATION_BOX), u"SD");
  EXPECT_TRUE(Enabled(IDC_LOCATION_BOX));
  EXPECT_TRUE(Eventually([&] { return Text(IDC_FREE_SPACE_LINE) == FreeSpaceLine(u"SD"); }));

  Cedev({"volume", "remove", "SD"});
  EXPECT_TRUE(Eventually([&] { return !Enabled(IDC_LOCATION_BOX); }));
  EXPECT_TRUE(automation::ComboItems(box).empty());
  EXPECT_FALSE(Enabled(IDM_BACKUP));
  EXPECT_TRUE(Eventually([&] { return Text(IDC_FREE_SPACE_LINE).empty(); }));
}

TEST_F(MainProgram, AnArchiveAtTheLocationShowsItsDateAndEnablesRestoreAndDelete) {
  ASSERT_NE(StartInteractive(), nullptr);
  ASSERT_TRUE(automation::Select(Item(IDC_LOCATION_BOX).hwnd, u"FlashDisk"));
  SYSTEMTIME noon = {2013, 2, 0, 5, 3, 0, 0, 0};  // 12:00 local on a UTC+9 device
  PutArchive(u"FlashDisk", noon);
  EXPECT_TRUE(Eventually([&] { return Text(IDC_LAST_BACKUP_LINE) == DateText(noon); }))
      << Utf8(Text(IDC_LAST_BACKUP_LINE)) << " / " << Utf8(DateText(noon));
  EXPECT_TRUE(Enabled(IDM_RESTORE));
  EXPECT_TRUE(Enabled(IDM_DELETE));

  // A newer archive shows its own date.
  SYSTEMTIME later = {2025, 12, 0, 31, 15, 30, 0, 0};
  PutArchive(u"FlashDisk", later);
  EXPECT_TRUE(Eventually([&] { return Text(IDC_LAST_BACKUP_LINE) == DateText(later); }));

  // Another location without an archive.
  ASSERT_TRUE(automation::Select(Item(IDC_LOCATION_BOX).hwnd, u"Storage Card"));
  EXPECT_TRUE(Eventually([&] { return Text(IDC_LAST_BACKUP_LINE).empty(); }));
  EXPECT_FALSE(Enabled(IDM_RESTORE));
  EXPECT_FALSE(Enabled(IDM_DELETE));

  ASSERT_TRUE(automation::Select(Item(IDC_LOCATION_BOX).hwnd, u"FlashDisk"));
  EXPECT_TRUE(Eventually([&] { return Text(IDC_LAST_BACKUP_LINE) == DateText(later); }));
  ASSERT_TRUE(DeleteFileW(u"\\FlashDisk\\Backup\\Backup.dat"));
  EXPECT_TRUE(Eventually([&] { return Text(IDC_LAST_BACKUP_LINE).empty(); }));
  EXPECT_FALSE(Enabled(IDM_RESTORE));
  EXPECT_FALSE(Enabled(IDM_DELETE));
  EXPECT_TRUE(Enabled(IDM_BACKUP));
}

TEST_F(MainProgram, TabShiftTabAndEscapeMoveRoundTheBoxAndTheButtons) {
  HWND main = StartInteractive();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(automation::WaitForForeground(main, 10000));
  auto press = [&](BYTE vk, UINT modifiers, UINT expected) {
    automation::SendKey(vk, modifiers);
    return Eventually([&] { return Focused(expected); }, 10);
  };
  // Without an archive the keyboard only goes between the box and Backup.
  EXPECT_TRUE(press(VK_TAB, 0, IDC_LOCATION_BOX));
  EXPECT_TRUE(press(VK_TAB, 0, IDM_BACKUP));
  EXPECT_TRUE(press(VK_TAB, 0, IDC_LOCATION_BOX));
  EXPECT_TRUE(press(VK_TAB, automation::kShift, IDM_BACKUP));
  EXPECT_TRUE(press(VK_TAB, automation::kShift, IDC_LOCATION_BOX));

  ASSERT_TRUE(automation::Select(Item(IDC_LOCATION_BOX).hwnd, u"FlashDisk"));
  PutArchive(u"FlashDisk", SYSTEMTIME{2013, 2, 0, 5, 6, 7, 0, 0});
  ASSERT_TRUE(Eventually([&] { return Enabled(IDM_RESTORE); }));
  EXPECT_TRUE(press(VK_TAB, 0, IDM_BACKUP));
  EXPECT_TRUE(press(VK_TAB, 0, IDM_RESTORE));
  EXPECT_TRUE(press(VK_TAB, 0, IDM_DELETE));
  EXPECT_TRUE(press(VK_TAB, 0, IDC_LOCATION_BOX)) << "Tab from Delete goes back to the box";
  EXPECT_TRUE(press(VK_TAB, automation::kShift, IDM_DELETE));
  EXPECT_TRUE(press(VK_TAB, automation::kShift, IDM_RESTORE));
  EXPECT_TRUE(press(VK_TAB, automation::kShift, IDM_BACKUP));
  EXPECT_TRUE(press(VK_TAB, automation::kShift, IDC_LOCATION_BOX)) << "Shift+Tab from Backup goes to the box";

  // Escape closes the window, which ends the program.
  automation::SendKey(VK_ESCAPE);
  EXPECT_TRUE(EndsWithCode(processes_.front(), 0));
  EXPECT_FALSE(IsWindow(main));
}

TEST_F(MainProgram, TheMenusVersionItemShowsTheProgramsVersionBox) {
  HWND main = StartInteractive();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(PostMessageW(main, WM_COMMAND, IDM_VERSION, 0));
  HWND box = automation::WaitForWindow(u"Dialog", u"ﾊﾞｰｼﾞｮﾝ情報", 20000);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(Eventually([&] { return GetDlgItem(box, IDOK) != nullptr; }));
  std::vector<std::u16string> texts;
  for (const automation::WindowInfo& item : automation::ListItems(box)) texts.push_back(item.text);
  EXPECT_THAT(texts, ::testing::Contains(u"Tolvane Utility"));
  EXPECT_THAT(texts, ::testing::Contains(u"Version 1.09"));
  EXPECT_THAT(texts, ::testing::Contains(u"Copyright (C) 2013 Tolvane Project"));
  ASSERT_TRUE(automation::PressItem(box, IDOK));
  EXPECT_TRUE(automation::WaitUntilGone(box, 10000));
  EXPECT_TRUE(IsWindow(main));
}

TEST_F(MainProgram, CtrlQEndsTheProgram) {
  HWND main = StartInteractive();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(automation::WaitForForeground(main, 10000));
  automation::SendKey(u'Q', automation::kControl);
  EXPECT_TRUE(EndsWithCode(processes_.front(), 0));
  EXPECT_TRUE(automation::WaitUntilGone(main, 10000));
  EXPECT_EQ(automation::Find(kMainClass, nullptr), nullptr);
}

TEST_F(MainProgram, ASecondStartOnlyBringsTheFirstWindowToTheFront) {
  HWND main = StartInteractive();
  ASSERT_NE(main, nullptr);
  // Another program's window in front.
  HWND other = CreateWindowExW(0, u"STATIC", u"other", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                               nullptr);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(SetForegroundWindow(other));
  ASSERT_TRUE(automation::WaitForForeground(other, 10000));

  // With a command line that would run a backup: it is ignored.
  HANDLE second = Start(u"/B/FlashDisk");
  EXPECT_TRUE(EndsWithCode(second, 0));
  EXPECT_TRUE(automation::WaitForForeground(main, 10000));
  int mains = 0;
  for (const automation::WindowInfo& w : automation::ListWindows()) mains += w.class_name == kMainClass;
  EXPECT_EQ(mains, 1);
  EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk\\Backup\\Backup.dat"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(WaitForSingleObject(processes_.front(), 0), WAIT_TIMEOUT) << "the first one still runs";
  DestroyWindow(other);
}

TEST_F(MainProgram, TheLandscapeScreenMovesEveryControlToItsOtherRectangle) {
  HWND main = StartInteractive();
  ASSERT_NE(main, nullptr);
  Cedev({"set", "orientation", "landscape"});
  EXPECT_TRUE(Eventually([&] { return Show(automation::Describe(main)->rect) == "0,0,320,240"; }));
  EXPECT_TRUE(Eventually([&] { return Show(Item(IDM_BACKUP).rect) == Show(kExpected[3].landscape); }));
  std::vector<automation::WindowInfo> controls = Controls();
  ASSERT_EQ(controls.size(), std::size(kExpected));
  for (size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(Show(controls[i].rect), Show(kExpected[i].landscape)) << "control " << i + 1;
  }
  Cedev({"set", "orientation", "portrait"});
  EXPECT_TRUE(Eventually([&] { return Show(Item(IDM_BACKUP).rect) == Show(kExpected[3].portrait); }));
  controls = Controls();
  ASSERT_EQ(controls.size(), std::size(kExpected));
  for (size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(Show(controls[i].rect), Show(kExpected[i].portrait)) << "control " << i + 1;
  }
}

// A person presses Backup and then tries to close the window while the job
// runs: the window must stay, or the program would end in the middle of it.
TEST_F(MainProgram, TheWindowOutlivesCloseRequestsWhileAJobRuns) {
  HWND main = StartInteractive();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(automation::Select(Item(IDC_LOCATION_BOX).hwnd, u"FlashDisk"));
  ASSERT_TRUE(PostMessageW(Item(IDM_BACKUP).hwnd, BM_CLICK, 0, 0));
  HWND password = automation::WaitForWindow(u"Dialog", u"Tolvane Utility", 20000);
  ASSERT_NE(password, nullptr);
  ASSERT_TRUE(Eventually([&] { return GetDlgItem(password, IDYES) != nullptr; }));
  ASSERT_TRUE(automation::PressItem(password, IDYES));  // no password, confirmed as none

  HWND progress = automation::WaitForWindow(u"Dialog", u"ﾊﾞｯｸｱｯﾌﾟ", 20000);
  ASSERT_NE(progress, nullptr);
  automation::SendKey(VK_ESCAPE);  // reaches the main window's pre-translation
  EXPECT_TRUE(automation::Close(main));
  EXPECT_TRUE(IsWindow(main));
  // A second start meanwhile runs nothing of its own.
  EXPECT_TRUE(EndsWithCode(Start(u"/R/FlashDisk"), 0));

  HWND result = automation::WaitForWindow(u"Dialog", u"Tolvane Utility", 60000);
  ASSERT_NE(result, nullptr);
  EXPECT_TRUE(IsWindow(main)) << "closed while the job ran";
  ASSERT_TRUE(Eventually([&] { return GetDlgItem(result, IDOK) != nullptr; }));
  ASSERT_TRUE(automation::PressItem(result, IDOK));
  EXPECT_NE(GetFileAttributesW(u"\\FlashDisk\\Backup\\Backup.dat"), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(Eventually([&] { return Text(IDC_LAST_BACKUP_LINE) != u""; })) << "the next tick shows the date";
  EXPECT_EQ(WaitForSingleObject(processes_.front(), 0), WAIT_TIMEOUT);

  // With the job done a close request ends the program.
  EXPECT_TRUE(automation::Close(main));
  EXPECT_TRUE(EndsWithCode(processes_.front(), 0));
}

std::string FileText(LPCWSTR path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(none)";
  char buffer[256];
  DWORD read = 0;
  ReadFile(file, buffer, sizeof buffer, &read, nullptr);
  CloseHandle(file);
  return std::string(buffer, read);
}

// The way the auto-restore tool drives the program: unattended runs whose
// only report is the result box, answered here by cedev run's script.
TEST_F(MainProgram, UnattendedBackupAndRestoreThroughCedevRun) {
  HANDLE letter = CreateFileW(u"\\My Documents\\Letter.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(letter, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(letter, "Dear device", 11, &written, nullptr);
  CloseHandle(letter);
  NewBoxes();

  EXPECT_EQ(Cedev({"run", "--timeout", "120", "--answer", "ok", "tolvane", "/B/FlashDisk/secret"}), 0);
  WIN32_FIND_DATAW archive;
  HANDLE find = FindFirstFileW(u"\\FlashDisk\\Backup\\Backup.dat", &archive);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  FILETIME local;
  FileTimeToLocalFileTime(&archive.ftLastWriteTime, &local);
  WCHAR date[64];
  FormatBackupDate(local, date, 64);
  std::string boxes = NewBoxes();
  EXPECT_THAT(boxes, ::testing::HasSubstr("caption \"Tolvane Utility\" text \"" +
                                          Utf8(u"ﾊﾞｯｸｱｯﾌﾟが終了しました。:" + std::u16string(date)) +
                                          "\" flags 0x40040"));
  EXPECT_EQ(automation::Find(kMainClass, nullptr), nullptr) << "the program has ended";

  ASSERT_TRUE(DeleteFileW(u"\\My Documents\\Letter.txt"));
  EXPECT_EQ(Cedev({"run", "--timeout", "120", "--answer", "ok", "tolvane", "/R/FlashDisk/wrong"}), 0);
  EXPECT_THAT(NewBoxes(), ::testing::HasSubstr(Utf8(u"パスワードが異なります。") + "\\n" +
                                               Utf8(u"正しいパスワードを入力してリストアを実行し直してください。\" flags 0x40010")));
  EXPECT_EQ(FileText(u"\\My Documents\\Letter.txt"), "(none)");

  EXPECT_EQ(Cedev({"run", "--timeout", "120", "--answer", "ok", "tolvane", "/r/flashdisk/secret"}), 0);
  EXPECT_THAT(NewBoxes(), ::testing::HasSubstr(Utf8(u"ﾘｽﾄｱが終了しました。使用する前に本体をﾘｾｯﾄしてください。") +
                                               "\" flags 0x40040"));
  EXPECT_EQ(FileText(u"\\My Documents\\Letter.txt"), "Dear device");
}

TEST_F(MainProgram, AnUnattendedRunStaysOutOfSightAndEndsWithItsResultBox) {
  HANDLE process = Start(u"/s/FlashDisk/pw");
  HWND box = automation::WaitForWindow(u"Dialog", u"Tolvane Utility", 60000);
  ASSERT_NE(box, nullptr);
  HWND main = automation::Find(kMainClass, nullptr);
  ASSERT_NE(main, nullptr);
  std::optional<automation::WindowInfo> window = automation::Describe(main);
  ASSERT_TRUE(window);
  EXPECT_EQ(Show(window->rect), "0,0,0,0");
  EXPECT_TRUE(automation::ListItems(main).empty()) << "no controls, no command bar";

  // What the auto-restore tool reads: the icon item and the text.
  ASSERT_TRUE(Eventually([&] { return GetDlgItem(box, CE_MSGBOX_ICON_ID) != nullptr; }));
  std::u16string icon, text;
  for (const automation::WindowInfo& item : automation::ListItems(box)) {
    if (item.id == CE_MSGBOX_ICON_ID) icon = item.text;
    if (item.id == CE_MSGBOX_TEXT_ID) text = item.text;
  }
  EXPECT_EQ(icon, std::u16string(u"\uFFFF\u0040")) << "information: the backup worked";
  EXPECT_EQ(text, u"ﾊﾞｯｸｱｯﾌﾟが終了しました。:") << "no data archive, so no date";
  EXPECT_NE(GetFileAttributesW(u"\\FlashDisk\\Backup\\Registory.dat"), INVALID_FILE_ATTRIBUTES);

  ASSERT_TRUE(automation::PressItem(box, IDOK));
  EXPECT_TRUE(EndsWithCode(process, 0));
  EXPECT_TRUE(automation::WaitUntilGone(main, 10000));
  for (const automation::WindowInfo& w : automation::ListWindows()) {
    EXPECT_NE(w.pid, window->pid) << Utf8(w.class_name) << " outlived the program";
  }
}

}  // namespace

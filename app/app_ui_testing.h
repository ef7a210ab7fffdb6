// What the main program's window tests share: a scratch device with the
// program's resources and a plain owner window that logs its messages, the
// boxes the program showed (read through their windows, icon item
// included) with scripted answers, and a second thread that operates the
// dialogs as a person would while the test thread runs a command.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app_state.h"
#include "ce/automation.h"
#include "backup_location.h"
#include "device_control.h"
#include "job_status.h"
#include "program_setup.h"
#include "res/resource.h"
#include "scratch_device.h"
#include "window_testing.h"

namespace app_test {

namespace ui = cedev::automation;

// Device time runs this much faster than the host's: the jobs' start delay
// and the progress dialog's tick pass quickly, while a person's actions
// still have time to reach the program.
constexpr double kTimeScale = 5;
// How long a person waits for a window, in device milliseconds.
constexpr DWORD kPatience = static_cast<DWORD>(20000 * kTimeScale);

inline HINSTANCE TestModule() { return reinterpret_cast<HINSTANCE>(0x7A00); }

inline cedev::DeviceSettings TestSettings() {
  cedev::DeviceSettings s = cedev::ScratchDevice::DefaultSettings();
  s.time_scale = kTimeScale;
  return s;
}

// A message box as its window showed it.
struct ShownBox {
  std::u16string caption;
  std::u16string text;
  UINT type = 0;
  std::u16string icon;  // the icon item's text: U+FFFF and the icon flag
  HWND owner = nullptr;
  bool fromWorker = false;  // shown by another thread than the test's
  int answer = 0;
};

// Answers every box of the process: Yes/No questions from a script (No
// once it runs out), every other box with OK; each is read first.
class BoxLog {
 public:
  BoxLog() : testThread_(GetCurrentThreadId()) { CeSetMessageBoxAnswerer(&BoxLog::Answer, this); }
  ~BoxLog() { CeSetMessageBoxAnswerer(nullptr, nullptr); }
  BoxLog(const BoxLog&) = delete;
  BoxLog& operator=(const BoxLog&) = delete;

  void AnswerNext(int answer) {
    std::lock_guard lock(mutex_);
    script_.push_back(answer);
  }
  std::vector<ShownBox> Take() {
    std::lock_guard lock(mutex_);
    std::vector<ShownBox> out;
    out.swap(boxes_);
    return out;
  }

 private:
  static int Answer(LPCWSTR caption, LPCWSTR text, UINT type, void* context) {
    auto* self = static_cast<BoxLog*>(context);
    ShownBox box{caption ? caption : u"", text ? text : u"", type};
    box.fromWorker = GetCurrentThreadId() != self->testThread_;
    if (HWND window = FindWindowW(u"Dialog", caption)) {
      WCHAR icon[8] = {};
      GetDlgItemTextW(window, CE_MSGBOX_ICON_ID, icon, 8);
      box.icon = icon;
      box.owner = GetWindow(window, GW_OWNER);
    }
    std::lock_guard lock(self->mutex_);
    if ((type & MB_TYPEMASK) == MB_YESNO) {
      box.answer = IDNO;
      if (!self->script_.empty()) {
        box.answer = self->script_.front();
        self->script_.pop_front();
      }
    } else {
      box.answer = IDOK;
    }
    self->boxes_.push_back(box);
    return box.answer;
  }

  DWORD testThread_;
  std::mutex mutex_;
  std::deque<int> script_;
  std::vector<ShownBox> boxes_;
};

inline std::u16string IconText(UINT iconFlag) { return std::u16string{u'\xFFFF', static_cast<char16_t>(iconFlag)}; }

inline std::u16string AppString(UINT id) {
  WCHAR text[TEXT_LIMIT];
  int n = LoadStringW(TestModule(), id, text, TEXT_LIMIT);
  return std::u16string(text, n > 0 ? n : 0);
}

// A person at the device: runs `act` on a thread of its own, finished by
// the time the object goes.
class Person {
 public:
  explicit Person(std::function<void()> act) : thread_(std::move(act)) {}
  ~Person() { thread_.join(); }
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;

 private:
  std::thread thread_;
};

// The program's dialog with the caption (never a message box) once it is
// shown with its items; null when none comes within kPatience.
inline HWND AwaitDialog(const std::u16string& caption) {
  constexpr DWORD kStep = 5;
  for (DWORD waited = 0; waited < kPatience; waited += kStep) {
    HWND window = FindWindowW(u"Dialog", caption.c_str());
    auto info = window ? ui::Describe(window) : std::nullopt;
    if (info && info->visible && !info->message_box && !ui::ListItems(window).empty()) return window;
    Sleep(kStep);
  }
  return nullptr;
}

inline std::u16string ItemText(HWND dialog, int id) {
  WCHAR text[TEXT_LIMIT] = {};
  GetDlgItemTextW(dialog, id, text, TEXT_LIMIT);
  return text;
}

inline BOOL LocationFlashDisk(LPWSTR location) {
  const char16_t name[] = u"FlashDisk";
  for (size_t i = 0; i < sizeof name / 2; ++i) location[i] = name[i];
  return TRUE;
}

class AppUiTest : public ::testing::Test {
 protected:
  explicit AppUiTest(const cedev::DeviceSettings& settings = TestSettings()) : device_(settings) {}

  void SetUp() override {
    SetUpProgram(TestModule());
    AutoRunCode = AUTORUN_NONE;
    AutoRunPassword[0] = 0;
    SetWindowLocationSource(LocationFlashDisk);
    owner_ = cedev::CreateLoggedWindow(WS_VISIBLE, nullptr, 0, u"Main");
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override {
    SetWindowLocationSource(nullptr);
    AutoRunCode = AUTORUN_NONE;
    if (IsWindow(owner_)) DestroyWindow(owner_);
    cedev::ClearFaults();
  }

  void SetPower(const std::string& platform, int acLine, int batteryFlag) {
    ASSERT_TRUE(device_.device().UpdateSettings([&](cedev::DeviceSettings& s) {
      s.platform_type = platform;
      s.ac_line_status = acLine;
      s.battery_flag = batteryFlag;
    }));
  }

  // The device's help viewer, as the sample device has it.
  void InstallHelpViewer() {
    ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    HANDLE file = CreateFileW(u"\\Windows\\peghelp.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char stub[] = "#!cedev-program peghelp\n";
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(file, stub, sizeof stub - 1, &put, nullptr));
    CloseHandle(file);
  }
  // What the help viewer was asked to show, once it has run.
  std::vector<std::string> HelpShown() {
    for (int i = 0; i < 200; ++i) {
      std::vector<std::string> shown = Journal("peghelp");
      if (!shown.empty()) return shown;
      Sleep(static_cast<DWORD>(25 * kTimeScale));
    }
    return {};
  }

  // Journal entries of one kind since the test began.
  std::vector<std::string> Journal(const std::string& kind) {
    std::vector<std::string> out;
    for (const auto& e : cedev::JournalRead()) {
      if (e.kind == kind) out.push_back(e.text);
    }
    return out;
  }

  cedev::ScratchDevice device_;
  cedev::MessageLog log_;
  BoxLog boxes_;
  HWND owner_ = nullptr;
};

}  // namespace app_test

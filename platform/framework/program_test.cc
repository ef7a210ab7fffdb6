// A framework program as the device runs it: started as a device program,
// found by its registered class, operated by another program through its
// windows, and ended with the exit code its application object chose.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <windows.h>

#include "scratch_device.h"

namespace {

HWND AwaitWindow(LPCWSTR class_name) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until) {
    if (HWND w = FindWindowW(class_name, nullptr)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return nullptr;
}

// A window is listed from the moment it is made; its controls come while it
// handles WM_CREATE.
HWND AwaitItem(HWND parent, int id) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < until) {
    if (HWND item = GetDlgItem(parent, id)) return item;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return nullptr;
}

// Ends the program if the test stops early, so no orphan outlives the test,
// and closes its handle.
struct EndsProgram {
  HANDLE process;
  ~EndsProgram() {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
    CloseHandle(process);
  }
};

TEST(FrameworkProgram, RunsFromTheFrameworksWinMainAndEndsWithItsMainWindow) {
  cedev::ScratchDevice device;
  std::filesystem::create_directories(device.dir() / "store" / "Windows");
  std::ofstream(device.dir() / "store" / "Windows" / "fwprogram.exe") << "#!cedev-program framework_program\n";
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(u"\\Windows\\fwprogram.exe", u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                             &pi));
  CloseHandle(pi.hThread);
  EndsProgram ends{pi.hProcess};

  HWND main = AwaitWindow(u"WCE_fwprogram");
  ASSERT_NE(main, nullptr);
  ASSERT_NE(AwaitItem(main, 40001), nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  EXPECT_EQ(pid, pi.dwProcessId);

  // Presses through the window system reach the program's message map.
  HWND count = GetDlgItem(main, 40002);
  ASSERT_NE(count, nullptr);
  SendMessageW(count, BM_CLICK, 0, 0);
  SendMessageW(count, BM_CLICK, 0, 0);
  char16_t title[64] = {};
  GetWindowTextW(main, title, 64);
  EXPECT_EQ(std::u16string(title), u"Framework program 2");

  SendMessageW(GetDlgItem(main, 40001), BM_CLICK, 0, 0);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 102u);
  EXPECT_FALSE(IsWindow(main));
}

}  // namespace

// What the window-system tests share: a scratch device, a message log and
// shorthand for building expected sequences.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "api_expect.h"
#include <windows.h>
#include "scratch_device.h"
#include "window_testing.h"

namespace cedev::gwes {

class GwesTest : public ::testing::Test {
 protected:
  explicit GwesTest(const DeviceSettings& settings = ScratchDevice::DefaultSettings()) : device_(settings) {}

  ScratchDevice device_;
  MessageLog log_;
};

using Messages = std::vector<UINT>;

// Tests with another program of the device: the window probe.
class ProbeTest : public GwesTest {
 protected:
  explicit ProbeTest(const DeviceSettings& settings = ScratchDevice::DefaultSettings()) : GwesTest(settings) {
    std::filesystem::create_directories(device_.dir() / "store" / "Windows");
    std::ofstream(device_.dir() / "store" / "Windows" / "probe.exe") << "#!cedev-program window_probe\n";
  }
  ~ProbeTest() override {
    for (HANDLE process : started_) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
  }

  // Starts the probe with the command line; its process handle.
  HANDLE Start(const std::u16string& command_line, DWORD* pid = nullptr) {
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessW(u"\\Windows\\probe.exe", command_line.c_str(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, nullptr, &pi));
    CloseHandle(pi.hThread);
    started_.push_back(pi.hProcess);
    if (pid) *pid = pi.dwProcessId;
    return pi.hProcess;
  }

  DWORD ExitCodeOf(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
  }

  // Polls as a watcher does until the window is there and shown: a window
  // is listed from the moment it is made, a dialog before its items are.
  static HWND AwaitWindow(LPCWSTR class_name, LPCWSTR title) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      HWND w = FindWindowW(class_name, title);
      if (w && IsWindowVisible(w)) return w;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return nullptr;
  }

  std::vector<HANDLE> started_;
};

}  // namespace cedev::gwes

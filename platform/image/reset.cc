#include "reset.h"

#include <chrono>
#include <thread>

#include "boot.h"
#include "ce/automation.h"
#include "ce/errors.h"
#include "ce/process.h"
#include "device_programs.h"
#include "factory.h"
#include "journal.h"
#include "wstr.h"

namespace cedev {
namespace {

// How long the boot gives a start-up program to show its window; one that
// shows none by then is left running and the boot goes on.
constexpr auto kStartupWindowPatience = std::chrono::seconds(20);
constexpr auto kStartupWindowPoll = std::chrono::milliseconds(5);

bool ShowsWindow(DWORD pid) {
  for (const auto& window : automation::ListWindows()) {
    if (window.pid == pid && window.visible) return true;
  }
  return false;
}

void AwaitStartupWindow(const BootProgram& program, HANDLE process, DWORD pid) {
  auto until = std::chrono::steady_clock::now() + kStartupWindowPatience;
  while (std::chrono::steady_clock::now() < until) {
    if (ShowsWindow(pid) || WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return;
    std::this_thread::sleep_for(kStartupWindowPoll);
  }
  JournalAppend("boot", ToUtf8(program.path) + " " + ToUtf8(program.command_line) + " showed no window");
}

bool Boot(bool after_full_reset, std::string* error) {
  if (BootDevice(after_full_reset, AwaitStartupWindow)) return true;
  if (error) *error = "boot: a program of the autostart list did not start (error " + std::to_string(GetLastError()) + ")";
  return false;
}

}  // namespace

bool SoftReset(std::string* error) {
  JournalAppend("reset", "soft reset");
  EndAllDevicePrograms();
  return Boot(false, error);
}

bool FullReset(std::string* error) {
  JournalAppend("reset", "full reset");
  // Nothing may hold a store file, key or database while the image goes back.
  EndAllDevicePrograms();
  if (!RestoreFactoryImage(error)) return false;
  return Boot(true, error);
}

}  // namespace cedev

#include "boot.h"

#include <windows.h>

#include "device_programs.h"
#include "journal.h"
#include "wstr.h"

namespace cedev {
namespace {

const char16_t kControlPanel[] = u"\\Windows\\ctlpnl.exe";
// The dialogs a device fresh from the factory asks its user to fill in.
const char16_t* const kStartupApplets[] = {u"owner", u"clock"};

bool Present(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<BootProgram> StartupWindows(const DeviceSettings& settings) {
  std::vector<BootProgram> programs;
  if (!settings.welcome_program.empty()) {
    std::u16string welcome = FromUtf8(settings.welcome_program);
    if (Present(welcome)) programs.push_back({welcome, u"", true});
  }
  if (Present(kControlPanel)) {
    for (const char16_t* applet : kStartupApplets) programs.push_back({kControlPanel, applet, true});
  }
  return programs;
}

std::string Described(const BootProgram& program) {
  std::string text = ToUtf8(program.path);
  if (!program.command_line.empty()) text += " " + ToUtf8(program.command_line);
  return text;
}

}  // namespace

std::vector<std::u16string> AutostartList(const DeviceSettings& settings) {
  std::vector<std::u16string> list;
  if (!settings.autostart.empty()) {
    for (const auto& entry : settings.autostart) list.push_back(FromUtf8(entry));
    return list;
  }
  for (const auto& volume : settings.volumes) list.push_back(u"\\" + FromUtf8(volume.name) + u"\\CE\\ARM\\Restore.exe");
  return list;
}

std::vector<BootProgram> BootPrograms(const DeviceSettings& settings, bool after_full_reset) {
  std::vector<BootProgram> programs;
  if (after_full_reset) programs = StartupWindows(settings);
  for (const auto& entry : AutostartList(settings)) {
    if (Present(entry)) programs.push_back({entry, u"", false});
  }
  return programs;
}

bool BootDevice(bool after_full_reset, const AwaitStartupWindow& await_window) {
  Device* dev = Device::Current();
  if (!dev) return false;
  JournalAppend("boot", after_full_reset ? "after full reset" : "after soft reset");
  DWORD first_error = 0;
  for (const auto& program : BootPrograms(dev->Settings(), after_full_reset)) {
    DWORD pid = 0;
    HANDLE process = StartDeviceProgram(program.path, program.command_line, &pid, /*detached=*/true);
    if (!process) {
      DWORD error = GetLastError();
      JournalAppend("boot", "cannot start " + Described(program) + ": error " + std::to_string(error));
      if (!first_error) first_error = error;
      continue;
    }
    if (program.startup_window && await_window) await_window(program, process, pid);
    CloseHandle(process);
  }
  if (first_error) SetLastError(first_error);
  return first_error == 0;
}

}  // namespace cedev

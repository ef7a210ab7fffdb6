#include "boot.h"

#include <windows.h>

#include "journal.h"
#include "wstr.h"

namespace cedev {
namespace {

bool Present(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

std::vector<std::u16string> BootPrograms(const DeviceSettings& settings, bool after_full_reset) {
  std::vector<std::u16string> programs;
  if (after_full_reset && !settings.welcome_program.empty()) {
    std::u16string welcome = FromUtf8(settings.welcome_program);
    if (Present(welcome)) programs.push_back(welcome);
  }
  for (const auto& entry : AutostartList(settings)) {
    if (Present(entry)) programs.push_back(entry);
  }
  return programs;
}

bool BootDevice(bool after_full_reset) {
  Device* dev = Device::Current();
  if (!dev) return false;
  JournalAppend("boot", after_full_reset ? "after full reset" : "after soft reset");
  DWORD first_error = 0;
  for (const auto& program : BootPrograms(dev->Settings(), after_full_reset)) {
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi)) {
      DWORD error = GetLastError();
      JournalAppend("boot", "cannot start " + ToUtf8(program) + ": error " + std::to_string(error));
      if (!first_error) first_error = error;
      continue;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  if (first_error) SetLastError(first_error);
  return first_error == 0;
}

}  // namespace cedev

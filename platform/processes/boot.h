// Boot: what the device starts after a reset. After a full reset the
// start-up windows come first, as on a device fresh from the factory: the
// welcome program, then the control panel's owner and date-and-time dialogs.
// Then each program of the autostart list; an empty autostart list means the
// default: each storage volume's CE\ARM\Restore.exe, when present.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ce/types.h"
#include "device_folder.h"

namespace cedev {

struct BootProgram {
  std::u16string path;  // device path of the executable
  std::u16string command_line;
  // A start-up window: the boot waits until it is on the screen before it
  // starts the next program, so the autostart list finds it there.
  bool startup_window = false;

  bool operator==(const BootProgram&) const = default;
};

// The programs a boot would start, in order. Entries whose file is missing
// are left out ("when present").
std::vector<BootProgram> BootPrograms(const DeviceSettings& settings, bool after_full_reset);

// The autostart list as configured, or the default one for these volumes.
std::vector<std::u16string> AutostartList(const DeviceSettings& settings);

// Waits until the started program shows a window, or ends, or the waiter
// gives up. The window system gives the boot one (the process service knows
// no windows); without one the boot does not wait.
using AwaitStartupWindow = std::function<void(const BootProgram& program, HANDLE process, DWORD pid)>;

// Starts the boot programs of the current device, each detached from the
// caller (no terminal), waiting for the start-up windows only. False (with
// the last error of the first failure) when one could not be started; the
// others are started all the same.
bool BootDevice(bool after_full_reset, const AwaitStartupWindow& await_window = {});

}  // namespace cedev

// Running device programs as host processes: starting one from its device
// executable, and ending all of them (soft and full reset).
#pragma once

#include <string>
#include <string_view>

#include "ce/types.h"

namespace cedev {

// Starts the program named by the device executable at `devpath` with the
// given command line. Returns a process handle (wait for it, read its exit
// code, close it) and the process id, or null with the last error set:
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND, ERROR_BAD_EXE_FORMAT.
// A detached program (one the device starts at boot) shares no terminal or
// output with the starter: it outlives `cedev reset` without holding it.
HANDLE StartDeviceProgram(std::u16string_view devpath, std::u16string_view cmdline, DWORD* pid,
                          bool detached = false);

// Kills every running device program of the current device except the
// caller, and waits until they are gone. Returns how many were ended.
int EndAllDevicePrograms();

// The host program named by a device executable's content ("#!cedev-program
// NAME" on its first line); empty when the content is not an executable.
std::string ProgramNameOf(std::string_view content);

}  // namespace cedev

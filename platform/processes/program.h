// Who this process is on the device: the device path it was started from and
// its command line (set by the start-up code in winmain.cc), its HINSTANCE,
// and its row in the device's process table.
#pragma once

#include <string>

#include "ce/types.h"
#include "process_table.h"

namespace cedev {

// The HINSTANCE of the program's own module (GetModuleHandleW(NULL)).
HINSTANCE ProgramInstance();

// Sets what GetModuleFileNameW(NULL) and GetCommandLineW report.
void SetProgramIdentity(std::u16string module, std::u16string cmdline);
std::u16string ProgramModule();

// This process's key in the process table.
ProcessKey SelfKey();
// Registers this process as a running device program of the current device.
bool RegisterSelf();
// Records this process's exit code (once) before it ends.
void RecordSelfExit(DWORD exit_code);

}  // namespace cedev

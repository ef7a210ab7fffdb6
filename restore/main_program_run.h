// One command-line run of the main program: started with "/R/<storage>" or
// "/B/<storage>", waited for within a limit, its outcome read from its
// result box by the watcher thread, and logged.
#pragma once

#include "ce/types.h"

#include "tool_state.h"

struct MainProgramRun {
  LPCWSTR commandFormat;  // formed with the storage folder
  DWORD limit;            // ms the main program may take
  const char* okLine;
  const char* failedLine;
  const char* timeoutLine;
};

extern const MainProgramRun kRestoreRun;
extern const MainProgramRun kBackupRun;

// TRUE when the main program showed its result box with the information
// icon. The watcher gets 5000 ms after the main program ends to report.
BOOL RunMainProgram(const MainProgramRun& run, const ToolState& tool);

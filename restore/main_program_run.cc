#include "main_program_run.h"

#include <windows.h>

#include "log_lines.h"
#include "restore_log.h"
#include "result_watcher.h"

const MainProgramRun kRestoreRun = {TEXT("/R/%s"), 600000, kMainRestoreOk, kMainRestoreNg, kMainRestoreTimeout};
const MainProgramRun kBackupRun = {TEXT("/B/%s"), 1800000, kMainBackupOk, kMainBackupNg, kMainBackupTimeout};

namespace {

// How long the watcher may still take once the main program has ended.
constexpr DWORD kWatcherGrace = 5000;

HANDLE StartWatcher(const ToolState& tool) {
  KeepWatching.store(1);
  LPVOID caption = const_cast<WCHAR*>(tool.texts->mainProgramTitle);
  return CreateThread(nullptr, 0, WatchForResultBox, caption, 0, nullptr);
}

// A watcher left running could press OK on a box of a later, unrelated run
// of the main program; once no result is wanted it is told to give up.
void AbandonWatcher(HANDLE watcher) {
  CloseHandle(watcher);
  KeepWatching.store(0);
}

BOOL StartMainProgram(const MainProgramRun& run, const ToolState& tool, PROCESS_INFORMATION* process) {
  WCHAR commandLine[kToolPathUnits];
  wsprintfW(commandLine, run.commandFormat, tool.storage);
  return CreateProcessW(tool.mainProgramPath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                        process);
}

}  // namespace

BOOL RunMainProgram(const MainProgramRun& run, const ToolState& tool) {
  HANDLE watcher = StartWatcher(tool);
  if (!watcher) return FALSE;
  PROCESS_INFORMATION process = {};
  if (!StartMainProgram(run, tool, &process)) {
    AppendStampedLine(tool.logPath, kStartMainProgramNg);
    AbandonWatcher(watcher);
    return FALSE;
  }
  AppendLogText(tool.logPath, kStartMainProgramOk);
  DWORD ended = WaitForSingleObject(process.hProcess, run.limit);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  // Only a watcher that has ended has an exit code to read; one still
  // running would report STILL_ACTIVE, which is no result.
  if (ended == WAIT_TIMEOUT || WaitForSingleObject(watcher, kWatcherGrace) != WAIT_OBJECT_0) {
    AppendStampedLine(tool.logPath, run.timeoutLine);
    AbandonWatcher(watcher);
    return FALSE;
  }
  DWORD result = 0;
  GetExitCodeThread(watcher, &result);
  CloseHandle(watcher);
  if (result == 0) {
    AppendStampedLine(tool.logPath, run.failedLine);
    return FALSE;
  }
  AppendLogText(tool.logPath, run.okLine);
  return TRUE;
}

#include "tool_flow.h"

#include <windows.h>

namespace {

const WCHAR kMutexName[] = TEXT("Restore");
const WCHAR kSilentSwitch[] = TEXT("/S");
const WCHAR kInstalledName[] = TEXT("Restore.exe");
const WCHAR kLogName[] = TEXT("Restore.log");
const WCHAR kMainProgramName[] = TEXT("tolvane.exe");

// A main program kept in the storage's CE\ARM folder wins over the one in
// \Windows.
void FindMainProgram(ToolState& tool) {
  FormatArmPath(tool.mainProgramPath, tool.storage, kMainProgramName);
  if (!PathFound(tool.mainProgramPath)) wsprintfW(tool.mainProgramPath, TEXT("\\Windows\\%s"), kMainProgramName);
}

void FormatToolPaths(ToolState& tool) {
  FormatArmPath(tool.logPath, tool.storage, kLogName);
  FindMainProgram(tool);
  GetModuleFileNameW(nullptr, tool.ownPath, MAX_PATH);
  FormatArmPath(tool.installedPath, tool.storage, kInstalledName);
}

}  // namespace

void ReleaseToolMutex(ToolState& tool) {
  if (!tool.mutex) return;
  ReleaseMutex(tool.mutex);
  CloseHandle(tool.mutex);
  tool.mutex = nullptr;
}

int RestoreFailureEnd(ToolState& tool) {
  ReleaseToolMutex(tool);
  MessageBoxW(nullptr, tool.texts->restoreFailed, tool.texts->toolTitle, MB_ICONHAND | MB_TOPMOST);
  return 0;
}

int BackupFailureEnd(ToolState& tool) {
  ReleaseToolMutex(tool);
  MessageBoxW(nullptr, tool.texts->backupFailed, tool.texts->backupCaption, MB_ICONHAND);
  return 0;
}

int RunRestoreTool(LPCWSTR commandLine) {
  ToolState tool;
  tool.texts = &TextsFor(ChooseLanguage());
  tool.mutex = CreateMutexW(nullptr, TRUE, kMutexName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(tool.mutex);
    return 0;
  }
  if (!FindStorageFolder(tool.storage)) return BackupFailureEnd(tool);
  FormatToolPaths(tool);
  if (EqualIgnoringCase(tool.ownPath, tool.installedPath)) return RunRestoreMode(tool);
  BOOL silent = commandLine && EqualIgnoringCase(commandLine, kSilentSwitch);
  return RunBackupMode(tool, !silent);
}

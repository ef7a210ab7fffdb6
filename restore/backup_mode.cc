// Backup mode: started by the user from anywhere but the installed copy. The
// main program writes a full backup to the storage, this program installs
// itself there for the device to start after a full reset, and "RestoreFlag"
// marks the registry as intact. Every failure puts back what the run changed.
#include <windows.h>

#include "log_lines.h"
#include "main_program_run.h"
#include "restore_flag.h"
#include "restore_log.h"
#include "self_install.h"
#include "setup_programs.h"
#include "tool_flow.h"

namespace {

BOOL UserAgrees(const ToolState& tool) {
  return MessageBoxW(nullptr, tool.texts->backupQuestion, tool.texts->toolTitle, MB_YESNO | MB_TOPMOST) != IDNO;
}

int FailAfterRegistration(ToolState& tool) {
  PutSavedSetupEntriesBack(tool.setup);
  return BackupFailureEnd(tool);
}

int FailAfterInstallation(ToolState& tool, const Installation& installation) {
  UndoInstallation(installation);
  return FailAfterRegistration(tool);
}

int Complete(ToolState& tool, const Installation& installation) {
  AppendLogText(tool.logPath, kRestoreFlagOk);
  ConfirmInstallation(installation);
  AppendStampedLine(tool.logPath, kBackupComplete);
  MessageBoxW(nullptr, tool.texts->backupCompleted, tool.texts->toolTitle, MB_ICONINFORMATION | MB_TOPMOST);
  ReleaseToolMutex(tool);
  return 1;
}

}  // namespace

int RunBackupMode(ToolState& tool, BOOL askFirst) {
  if (askFirst && !UserAgrees(tool)) {
    ReleaseToolMutex(tool);
    return 0;
  }
  RotateLog(tool.storage);
  AppendLogText(tool.logPath, kBackupModeHeader);
  if (!RegisterSetupPrograms(tool.storage, &tool.setup)) {
    AppendStampedLine(tool.logPath, kSetupProgramsNg);
    return FailAfterRegistration(tool);
  }
  AppendLogText(tool.logPath, kSetupProgramsOk);
  if (!RunMainProgram(kBackupRun, tool)) return FailAfterRegistration(tool);
  Installation installation;
  if (!InstallSelf(tool, &installation)) {
    AppendStampedLine(tool.logPath, kCopySelfNg);
    return FailAfterInstallation(tool, installation);
  }
  AppendLogText(tool.logPath, kCopySelfOk);
  ClearReadOnly(installation.installed);
  if (!WriteRestoreFlag()) {
    AppendStampedLine(tool.logPath, kRestoreFlagNg);
    DeleteRestoreKey();
    return FailAfterInstallation(tool, installation);
  }
  return Complete(tool, installation);
}

// Restore mode: the installed copy, started by the device at boot. With
// "RestoreFlag" present the registry is intact and there is nothing to do;
// without it (a full reset) the backup is restored and the device reset.
#include <windows.h>

#include "ce/halmix.h"
#include "device_steps.h"
#include "log_lines.h"
#include "main_program_run.h"
#include "restore_flag.h"
#include "restore_log.h"
#include "tool_flow.h"

namespace {

// The [5] key held at boot skips the restore.
constexpr int kSkipKey = 0x35;
constexpr DWORD kSkipBuzzer = 2;
constexpr DWORD kResetDelay = 5000;

BOOL SkipKeyHeld() { return (GetAsyncKeyState(kSkipKey) & 0x8000) != 0; }

DWORD WINAPI ShowRestoreCompleted(LPVOID tableColumn) {
  const ToolTexts* texts = static_cast<const ToolTexts*>(tableColumn);
  MessageBoxW(nullptr, texts->restoreCompleted, texts->toolTitle, MB_ICONINFORMATION | MB_TOPMOST);
  return 0;
}

// The box stays up while the device counts down to its reset; nobody waits
// for it to be closed.
void AnnounceReset(const ToolState& tool) {
  LPVOID texts = const_cast<ToolTexts*>(tool.texts);
  HANDLE box = CreateThread(nullptr, 0, ShowRestoreCompleted, texts, 0, nullptr);
  if (box) CloseHandle(box);
}

void FlushRegistry() {
  RegFlushKey(HKEY_CLASSES_ROOT);
  RegFlushKey(HKEY_CURRENT_USER);
  RegFlushKey(HKEY_LOCAL_MACHINE);
  RegFlushKey(HKEY_USERS);
}

// The restored registry may have brought the flag back; a flag that cannot
// be written then leaves that one alone rather than deleting what came back.
BOOL SetRestoreFlagAfterRestore(ToolState& tool) {
  tool.flagPresent = RestoreFlagPresent();
  if (WriteRestoreFlag()) return TRUE;
  AppendStampedLine(tool.logPath, kRestoreFlagNg);
  if (!tool.flagPresent) DeleteRestoreKey();
  return FALSE;
}

}  // namespace

int RunRestoreMode(ToolState& tool) {
  if (RestoreFlagPresent()) {
    ReleaseToolMutex(tool);
    return 0;
  }
  RotateLog(tool.storage);
  AppendLogText(tool.logPath, kRestoreModeHeader);
  if (SkipKeyHeld()) {
    AppendStampedLine(tool.logPath, kExitByKey);
    SysPlayBuzzer(kSkipBuzzer, 0, 0);
    ReleaseToolMutex(tool);
    return 0;
  }
  CloseStartupWindows(*tool.texts);
  CalibrateTouchPanel(tool.storage);
  AppendLogText(tool.logPath, kCalibrationOk);
  if (!SetClockByUser()) {
    AppendStampedLine(tool.logPath, kClockNg);
    return RestoreFailureEnd(tool);
  }
  AppendLogText(tool.logPath, kClockOk);
  if (!RunMainProgram(kRestoreRun, tool)) return RestoreFailureEnd(tool);
  if (!SetRestoreFlagAfterRestore(tool)) return RestoreFailureEnd(tool);
  AppendLogText(tool.logPath, kRestoreFlagOk);
  AppendStampedLine(tool.logPath, kRestoreComplete);
  AnnounceReset(tool);
  FlushRegistry();
  Sleep(kResetDelay);
  // The device's reset ends this program with all others and boots again;
  // it does not come back here.
  SysSoftReset();
}

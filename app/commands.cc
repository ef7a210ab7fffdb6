#include "commands.h"

#include "app_box.h"
#include "app_state.h"
#include "backup_location.h"
#include "exclusion_rules.h"
#include "job.h"
#include "job_runner.h"
#include "job_status.h"
#include "jobs.h"
#include "password.h"
#include "password_dialog.h"
#include "res/resource.h"
#include "wide_text.h"

BOOL RegistryOnly = FALSE;

namespace {

constexpr UINT_PTR kRefreshTimer = 256;
constexpr UINT kRefreshPeriod = 1000;
constexpr UINT kStopBox = MB_TOPMOST | MB_DEFBUTTON2 | MB_ICONHAND;
constexpr UINT kDeleteQuestion = MB_TOPMOST | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_YESNO;

// The main window's refresh would read the location and the archive while
// a command works on them: it stops for the command's whole run, however
// the command ends.
class RefreshPause {
 public:
  explicit RefreshPause(HWND window) : window_(window) { KillTimer(window_, kRefreshTimer); }
  ~RefreshPause() { SetTimer(window_, kRefreshTimer, kRefreshPeriod, nullptr); }
  RefreshPause(const RefreshPause&) = delete;
  RefreshPause& operator=(const RefreshPause&) = delete;

 private:
  HWND window_;
};

// The password a command works with: the typed one, or in automatic mode
// the command line's. The typed one starts empty with every command.
class CommandPassword {
 public:
  CommandPassword() { typed_[0] = 0; }
  CommandPassword(const CommandPassword&) = delete;
  CommandPassword& operator=(const CommandPassword&) = delete;

  // Interactive: asks with the template; TRUE when the user said Yes.
  BOOL Ask(HWND mainWindow, UINT templateId) {
    if (AutoRunCode != AUTORUN_NONE) return TRUE;
    MPasswordDlg dialog(templateId, CWnd::FromHandle(mainWindow), typed_);
    return dialog.DoModal() == IDYES;
  }
  LPCWSTR Text() const { return AutoRunCode != AUTORUN_NONE ? AutoRunPassword : typed_; }

 private:
  WCHAR typed_[kPasswordUnits];
};

// What the commands changed in the registry reaches storage before the
// user can reset the device.
void FlushRegistry() {
  RegFlushKey(HKEY_CLASSES_ROOT);
  RegFlushKey(HKEY_CURRENT_USER);
  RegFlushKey(HKEY_LOCAL_MACHINE);
}

// Tovak's driver reports a critical battery as the critical flag alone
// (critical and charging is 12); other drivers combine the flags, and their
// "unknown" 255 contains the critical bit.
BOOL BatteryCritical(BYTE batteryFlag) {
  if (IsTovakPlatform()) return batteryFlag == BATTERY_FLAG_CRITICAL;
  return (batteryFlag & BATTERY_FLAG_CRITICAL) != 0;
}

// Whether the device's power lets a long job start.
BOOL PowerAllowsJob() {
  SYSTEM_POWER_STATUS_EX status;
  // Without a reading neither the AC line nor the battery is known. A job
  // cut short by a dying battery leaves a broken archive or a half-restored
  // device, so the command is refused as on a critical battery.
  if (!GetSystemPowerStatusEx(&status, TRUE)) return FALSE;
  if (status.ACLineStatus != AC_LINE_OFFLINE) return TRUE;
  return !BatteryCritical(status.BatteryFlag);
}

void Backup(HWND mainWindow, BOOL registryOnly) {
  if (!registryOnly) RegistryOnly = FALSE;
  RefreshPause pause(mainWindow);
  ResetJobStatus(JOB_OPERATION_BACKUP);
  CommandPassword password;
  if (!password.Ask(mainWindow, IDD_BACKUP_PASSWORD)) return;
  MBackupJob job;
  MPwdEncryption(password.Text(), job.PasswordBlock);
  if (!CheckBattery(mainWindow, IDS_BACKUP_LOW_BATTERY)) return;
  if (registryOnly) RegistryOnly = TRUE;
  RunBackupJob(job, mainWindow, RegistryOnly);
  if (registryOnly) FlushRegistry();
}

void Restore(HWND mainWindow, BOOL registryOnly) {
  if (!registryOnly) RegistryOnly = FALSE;
  RefreshPause pause(mainWindow);
  ResetJobStatus(JOB_OPERATION_RESTORE);
  CommandPassword password;
  if (!password.Ask(mainWindow, IDD_RESTORE_PASSWORD)) return;
  if (!CheckBattery(mainWindow, IDS_RESTORE_LOW_BATTERY)) return;
  if (registryOnly) RegistryOnly = TRUE;
  MRestoreJob job;
  WideCopy(job.Password, MAX_PATH, password.Text());
  RunRestoreJob(job, mainWindow, RegistryOnly, registryOnly ? 0 : static_cast<DWORD>(AutoRunCode));
  if (!registryOnly) FlushRegistry();
}

}  // namespace

BOOL CheckBattery(HWND owner, UINT messageId) {
  if (PowerAllowsJob()) return TRUE;
  ShowAppString(owner, messageId, kStopBox);
  return FALSE;
}

void BackupCommand(HWND mainWindow) { Backup(mainWindow, FALSE); }
void RegistryBackupCommand(HWND mainWindow) { Backup(mainWindow, TRUE); }
void RestoreCommand(HWND mainWindow) { Restore(mainWindow, FALSE); }
void RegistryRestoreCommand(HWND mainWindow) { Restore(mainWindow, TRUE); }

void DeleteCommand(HWND mainWindow) {
  RefreshPause pause(mainWindow);
  ResetJobStatus(JOB_OPERATION_BACKUP);
  if (ShowAppString(mainWindow, IDS_DELETE_QUESTION, kDeleteQuestion) != IDYES) return;
  WCHAR location[MAX_PATH];
  if (!GetBackupLocation(location)) return;
  CWaitCursor wait;
  // Only the data archive: the registry archive beside it stays. A failed
  // deletion shows itself in the main window's date line.
  WCHAR path[MAX_PATH];
  if (WideFormat1(path, MAX_PATH, ARCHIVE_DATA_FILE, location)) DeleteFileW(path);
}

// The program's runners: the worker's wait inside the progress dialog, and
// the result message afterwards.
#include "app_box.h"
#include "backup_location.h"
#include "date_text.h"
#include "job_runner.h"
#include "job_status.h"
#include "jobs.h"
#include "progress_dialog.h"
#include "res/resource.h"
#include "restore_sequence.h"
#include "wide_text.h"

MJob* CurrentJob = nullptr;
LONG ProgressDialogOpen = 0;

namespace {

constexpr UINT kInformationBox = MB_TOPMOST | MB_ICONINFORMATION;

// The restore sequence's worker step: the progress dialog around the
// restore worker.
struct RestoreDialogRun {
  MRestoreJob* job;
  HWND owner;
  DWORD extra;
  JobWorker worker;
  INT_PTR dialogResult;
};

DWORD RunRestoreDialog(void* context) {
  RestoreDialogRun* run = static_cast<RestoreDialogRun*>(context);
  run->dialogResult = RunJob(*run->job, run->owner, IDD_RESTORE_PROGRESS, IDS_RESTORE_TITLE, IDS_RESTORE_PROGRESS,
                             run->extra, run->worker);
  return run->job->ExitCode;
}

// The last-write time of the data archive at the current location, as the
// date text; FALSE when there is no such file.
BOOL DataArchiveDate(LPWSTR text, size_t units) {
  WCHAR location[MAX_PATH];
  WCHAR path[MAX_PATH];
  if (!GetBackupLocation(location) || !WideFormat1(path, MAX_PATH, ARCHIVE_DATA_FILE, location)) return FALSE;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path, &found);
  if (search == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(search);
  FILETIME local;
  return FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) && FormatBackupDate(local, text, units);
}

// The success text of a backup: string 18 and the date of the data archive,
// which a registry-only backup leaves as it was.
void ShowBackupDone(HWND owner) {
  WCHAR text[TEXT_LIMIT];
  LoadAppString(IDS_BACKUP_DONE, text);
  WCHAR date[64];
  if (DataArchiveDate(date, 64)) {
    DWORD length = WideLength(text);
    WideCopy(text + length, TEXT_LIMIT - length, date);
  }
  ShowAppText(owner, text, kInformationBox);
}

}  // namespace

INT_PTR RunJob(MJob& job, HWND owner, UINT templateId, UINT titleId, UINT messageId, DWORD extra,
               JobWorker worker) {
  job.Worker = worker;
  job.MessageId = messageId;
  job.TitleId = titleId;
  job.Extra = extra;
  CurrentJob = &job;
  INT_PTR result;
  {
    MProgressDlg dialog(templateId, CWnd::FromHandle(owner));
    result = dialog.DoModal();
  }
  CurrentJob = nullptr;
  return result;
}

INT_PTR RunBackupJob(MBackupJob& job, HWND owner, BOOL registryOnly) {
  ResetJobStatus(JOB_OPERATION_BACKUP);
  INT_PTR result = RunJob(job, owner, IDD_BACKUP_PROGRESS, IDS_BACKUP_TITLE, IDS_BACKUP_PROGRESS, 0,
                          registryOnly ? RegistryBackupWorker : DataBackupWorker);
  if (job.ExitCode != 0) {
    ShowBackupDone(owner);
  } else {
    ShowJobResult(owner);
  }
  SetFocus(owner);
  return result;
}

INT_PTR RunRestoreJob(MRestoreJob& job, HWND owner, BOOL registryOnly, DWORD extra) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  RestoreDialogRun run = {&job, owner, extra, registryOnly ? RegistryRestoreWorker : DataRestoreWorker, -1};
  // The steps around the worker and the success steps are the sequence's.
  if (RunRestoreSequence(registryOnly, RunRestoreDialog, &run) != 0) {
    ShowAppString(owner, IDS_RESTORE_DONE, kInformationBox);
  } else {
    ShowJobResult(owner);
  }
  SetFocus(owner);
  return run.dialogResult;
}

// What a finished job tells the user: one table from the job status to the
// message, for every way a job is run.
#include "app_box.h"
#include "backup_location.h"
#include "job_runner.h"
#include "job_status.h"
#include "jobs.h"
#include "res/resource.h"
#include "wide_text.h"

namespace {

constexpr int kNoMessage = -1;

// A failed write where an older archive still lies: the user has to delete
// it to make room, which the other write-failure text does not say.
BOOL OlderDataArchiveExists() {
  WCHAR location[MAX_PATH];
  WCHAR path[MAX_PATH];
  if (!GetBackupLocation(location) || !WideFormat1(path, MAX_PATH, ARCHIVE_DATA_FILE, location)) return FALSE;
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

int OutcomeMessageId(DWORD operation, int backup, int restore) {
  if (operation == JOB_OPERATION_BACKUP) return backup;
  if (operation == JOB_OPERATION_RESTORE) return restore;
  return IDS_APPLICATION_ERROR;
}

}  // namespace

int ResultMessageId() {
  DWORD operation = JobOperation;
  switch (JobStatus) {
    case STATUS_OK: return OutcomeMessageId(operation, IDS_BACKUP_DONE, IDS_RESTORE_DONE);
    case STATUS_CANCELLED: return OutcomeMessageId(operation, kNoMessage, kNoMessage);
    case STATUS_NO_MEMORY: return OutcomeMessageId(operation, IDS_BACKUP_WRITE_FAILED, IDS_ARCHIVE_READ_FAILED);
    case STATUS_BACKUP_LOW_BATTERY: return IDS_BACKUP_LOW_BATTERY;
    case STATUS_WRITE_FAILED:
      return OlderDataArchiveExists() ? IDS_BACKUP_WRITE_FAILED_OLD_FILE : IDS_BACKUP_WRITE_FAILED;
    case STATUS_SOURCE_READ_FAILED: return IDS_BACKUP_WRITE_FAILED;
    case STATUS_RESTORE_LOW_BATTERY: return IDS_RESTORE_LOW_BATTERY;
    case STATUS_ARCHIVE_READ_FAILED: return IDS_ARCHIVE_READ_FAILED;
    case STATUS_DEVICE_WRITE_FAILED: return IDS_DEVICE_WRITE_FAILED;
    case STATUS_BAD_PASSWORD: return IDS_BAD_PASSWORD;
    default: return IDS_APPLICATION_ERROR;
  }
}

void ShowJobResult(HWND owner) {
  // A worker that failed without recording why leaves STATUS_OK, whose row
  // reads as success; the auto-restore tool would take its information icon
  // for a restore that worked and reset the device. It is a failure.
  BOOL unexplained = JobStatus == STATUS_OK;
  int messageId = unexplained ? IDS_APPLICATION_ERROR : ResultMessageId();
  if (messageId != kNoMessage) ShowAppString(owner, messageId, MB_TOPMOST | MB_ICONHAND);
  SetFocus(owner);
}

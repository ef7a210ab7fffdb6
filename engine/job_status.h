// The process-wide job status and the two cancel flags. One job runs at a
// time: the user-interface thread writes CancelRequested, the worker writes
// everything else, and the runner reads JobStatus only after the worker has
// ended, so plain variables are enough (volatile keeps the polls honest).
#pragma once

#include "ce/types.h"

// Job status codes: 0x1000 backup, 0x2000 restore, 0x3000 general.
#define STATUS_BACKUP_LOW_BATTERY 0x1002u
#define STATUS_WRITE_FAILED 0x1003u
#define STATUS_SOURCE_READ_FAILED 0x1004u
#define STATUS_RESTORE_LOW_BATTERY 0x2001u
#define STATUS_ARCHIVE_READ_FAILED 0x2002u
#define STATUS_DEVICE_WRITE_FAILED 0x2003u
#define STATUS_BAD_PASSWORD 0x2004u
#define STATUS_OK 0x3000u
#define STATUS_CANCELLED 0x3001u
#define STATUS_NO_MEMORY 0x3002u

// Values of JobOperation.
#define JOB_OPERATION_BACKUP 1u
#define JOB_OPERATION_RESTORE 3u

extern volatile DWORD JobStatus;
extern volatile BOOL CancelRequested;
extern volatile BOOL CancelConfirmed;
extern volatile DWORD JobOperation;  // JOB_OPERATION_BACKUP or JOB_OPERATION_RESTORE

// Before a job: STATUS_OK, no cancel, and the operation that picks the texts.
void ResetJobStatus(DWORD operation);
// Right before the worker starts: as ResetJobStatus, keeping JobOperation.
void ClearJobStatus();
// Records the first failure of a job; later codes are ignored. The calling
// thread's last error at that moment is kept with it: the failed call that
// the job stopped on, for a user who asks why.
void SetJobError(DWORD code);
DWORD JobFailureLastError();
// The restore job calls this when it begins to put the archive's tree on
// the device. Until then a failed restore has changed nothing, and the
// steps around it leave the device alone too. Cleared with the status.
void NoteRestoreEnteredTree();
BOOL RestoreEnteredTree();
// Asks the user to confirm a pending cancel request (from the worker).
void PollCancel();
// A check point: polls, and when the user has confirmed a cancel records
// STATUS_CANCELLED and answers TRUE so the caller stops.
BOOL CancelCheckpoint();

// Where the cancel question gets its texts: the program's string table and
// the caption of its message boxes. The program sets this once at start.
void SetJobMessageSource(HINSTANCE resources, LPCWSTR caption);

// String ids of the cancel question.
#define IDS_CANCEL_BACKUP_QUESTION 22
#define IDS_CANCEL_RESTORE_QUESTION 23

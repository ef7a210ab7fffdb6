// The job runner: a job's worker runs on a thread of its own while the
// caller waits, as every command of the program runs it (with the progress
// dialog around the wait) and as `cedev job` runs it (without one). A
// restore also takes the restore sequence's steps around its worker.
#pragma once

#include <windows.h>

#include "job.h"

// The two ends of a worker thread, shared by the waits below and the
// progress dialog. StartJobThread runs `job.Worker` with the job on a new
// thread (FALSE, Thread left 0, when none can be made). KeepJobExitCode
// waits for the worker if it still runs, keeps its exit code in the job and
// answers it (the job's destructor closes the thread handle).
BOOL StartJobThread(MJob& job);
DWORD KeepJobExitCode(MJob& job);

// Resets the job status for `operation`, fills the runner's fields of `job`
// and starts `worker` with it. FALSE (and STATUS_NO_MEMORY) when no thread
// can be started.
BOOL StartJobWorker(MJob& job, JobWorker worker, DWORD operation);
// Waits for the worker of `job` to end and keeps its exit code in the job.
// Answers the exit code (not 0 = success).
DWORD FinishJobWorker(MJob& job);
// Both in one, for a caller with nothing to show meanwhile. Answers the
// worker's exit code, 0 when it could not start.
DWORD RunOnWorker(MJob& job, JobWorker worker, DWORD operation);
// A restore: the steps before the worker, the worker (RunOnWorker), the
// steps after it, as the restore sequence orders them. Answers the
// worker's exit code.
DWORD RunRestoreOnWorker(MRestoreJob& job, JobWorker worker, BOOL registryOnly);

// The program's runners: the same waits inside the modal progress dialog
// owned by `owner`, then the result message. Each answers the progress
// dialog's result (0 when it ended normally).
extern MJob* CurrentJob;           // the job whose progress dialog is open
extern LONG ProgressDialogOpen;    // 1 while the progress dialog exists
INT_PTR RunJob(MJob& job, HWND owner, UINT templateId, UINT titleId, UINT messageId, DWORD extra,
               JobWorker worker);
INT_PTR RunBackupJob(MBackupJob& job, HWND owner, BOOL registryOnly);
INT_PTR RunRestoreJob(MRestoreJob& job, HWND owner, BOOL registryOnly, DWORD extra);

// The message a finished job shows, from JobStatus and JobOperation: a
// string id, or -1 for none (a cancelled backup or restore).
int ResultMessageId();
// For a job whose worker failed (exit code 0): shows that message with the
// stop icon, owned by `owner`, then gives `owner` the focus. A failure that
// left STATUS_OK behind shows string 21, never a success text.
void ShowJobResult(HWND owner);

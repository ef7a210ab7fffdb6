#include "job_runner.h"

#include "job_status.h"
#include "restore_sequence.h"

namespace {

struct RestoreRun {
  MRestoreJob* job;
  JobWorker worker;
};

DWORD RunRestoreWorker(void* context) {
  RestoreRun* run = static_cast<RestoreRun*>(context);
  return RunOnWorker(*run->job, run->worker, JOB_OPERATION_RESTORE);
}

// The worker may ask this thread for the backup location (a send to the
// main window) while it is being waited for; serving sent messages between
// short waits keeps the two from blocking each other.
void AwaitThread(HANDLE thread) {
  constexpr DWORD kSlice = 50;
  while (WaitForSingleObject(thread, kSlice) == WAIT_TIMEOUT) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace

BOOL StartJobThread(MJob& job) {
  job.Thread = CreateThread(nullptr, 0, job.Worker, &job, 0, nullptr);
  return job.Thread != nullptr;
}

DWORD KeepJobExitCode(MJob& job) {
  if (!job.Thread) return job.ExitCode;
  AwaitThread(job.Thread);
  DWORD exitCode = 0;
  if (!GetExitCodeThread(job.Thread, &exitCode)) exitCode = 0;
  job.ExitCode = exitCode;
  return exitCode;
}

BOOL StartJobWorker(MJob& job, JobWorker worker, DWORD operation) {
  ResetJobStatus(operation);
  job.Worker = worker;
  ClearJobStatus();
  if (!StartJobThread(job)) {
    SetJobError(STATUS_NO_MEMORY);
    return FALSE;
  }
  return TRUE;
}

DWORD FinishJobWorker(MJob& job) { return KeepJobExitCode(job); }

DWORD RunOnWorker(MJob& job, JobWorker worker, DWORD operation) {
  if (!StartJobWorker(job, worker, operation)) return 0;
  return FinishJobWorker(job);
}

DWORD RunRestoreOnWorker(MRestoreJob& job, JobWorker worker, BOOL registryOnly) {
  RestoreRun run = {&job, worker};
  ResetJobStatus(JOB_OPERATION_RESTORE);
  return RunRestoreSequence(registryOnly, RunRestoreWorker, &run);
}

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

}  // namespace

BOOL StartJobWorker(MJob& job, JobWorker worker, DWORD operation) {
  ResetJobStatus(operation);
  job.Worker = worker;
  ClearJobStatus();
  job.Thread = CreateThread(nullptr, 0, worker, &job, 0, nullptr);
  if (!job.Thread) {
    SetJobError(STATUS_NO_MEMORY);
    return FALSE;
  }
  return TRUE;
}

DWORD FinishJobWorker(MJob& job) {
  WaitForSingleObject(job.Thread, INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeThread(job.Thread, &exitCode)) exitCode = 0;
  job.ExitCode = exitCode;
  return exitCode;
}

DWORD RunOnWorker(MJob& job, JobWorker worker, DWORD operation) {
  if (!StartJobWorker(job, worker, operation)) return 0;
  return FinishJobWorker(job);
}

DWORD RunRestoreOnWorker(MRestoreJob& job, JobWorker worker, BOOL registryOnly) {
  RestoreRun run = {&job, worker};
  ResetJobStatus(JOB_OPERATION_RESTORE);
  return RunRestoreSequence(registryOnly, RunRestoreWorker, &run);
}

#include "job_runner.h"

#include <gtest/gtest.h>

#include "device_control.h"
#include "job_status.h"
#include "scratch_device.h"

namespace {

// What the worker saw when it started.
struct Seen {
  DWORD thread = 0;
  LPVOID job = nullptr;
  DWORD status = 0;
  DWORD operation = 0;
  BOOL cancelRequested = TRUE;
};
Seen g_seen;

DWORD RecordingWorker(LPVOID job) {
  g_seen = {GetCurrentThreadId(), job, JobStatus, JobOperation, CancelRequested};
  return 7;
}

DWORD FailingWorker(LPVOID) {
  SetJobError(STATUS_SOURCE_READ_FAILED);
  return 0;
}

class JobRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen = Seen();
    // What an earlier job left behind must not reach the next one.
    ResetJobStatus(JOB_OPERATION_RESTORE);
    SetJobError(STATUS_CANCELLED);
    CancelRequested = TRUE;
  }
  cedev::ScratchDevice device_;
};

TEST_F(JobRunnerTest, TheWorkerRunsOnItsOwnThreadWithAFreshStatusAndItsExitCodeIsKept) {
  MBackupJob job;
  EXPECT_EQ(RunOnWorker(job, RecordingWorker, JOB_OPERATION_BACKUP), 7u);
  EXPECT_NE(g_seen.thread, 0u);
  EXPECT_NE(g_seen.thread, GetCurrentThreadId());
  EXPECT_EQ(g_seen.job, &job);
  EXPECT_EQ(g_seen.status, DWORD(STATUS_OK));
  EXPECT_EQ(g_seen.operation, DWORD(JOB_OPERATION_BACKUP));
  EXPECT_FALSE(g_seen.cancelRequested);
  EXPECT_EQ(job.ExitCode, 7u);
  EXPECT_EQ(job.Worker, &RecordingWorker);
  EXPECT_NE(job.Thread, nullptr);
  EXPECT_EQ(JobStatus, DWORD(STATUS_OK));
}

TEST_F(JobRunnerTest, StartingAndFinishingApartGiveTheSameOutcome) {
  MBackupJob job;
  ASSERT_TRUE(StartJobWorker(job, FailingWorker, JOB_OPERATION_BACKUP));
  EXPECT_EQ(FinishJobWorker(job), 0u);
  EXPECT_EQ(job.ExitCode, 0u);
  EXPECT_EQ(JobStatus, DWORD(STATUS_SOURCE_READ_FAILED));
}

TEST_F(JobRunnerTest, AWorkerThatCannotStartIsAFailureForWantOfMemory) {
  ASSERT_TRUE(cedev::AddFault("thread.create", u"thread", ERROR_OUTOFMEMORY, 1));
  MBackupJob job;
  EXPECT_EQ(RunOnWorker(job, RecordingWorker, JOB_OPERATION_BACKUP), 0u);
  EXPECT_EQ(g_seen.thread, 0u) << "the worker never ran";
  EXPECT_EQ(job.Thread, nullptr);
  EXPECT_EQ(JobStatus, DWORD(STATUS_NO_MEMORY));
}

TEST_F(JobRunnerTest, ARestoreRunsItsWorkerAsARestoreInsideTheSequence) {
  MRestoreJob job;
  EXPECT_EQ(RunRestoreOnWorker(job, RecordingWorker, TRUE), 7u);
  EXPECT_EQ(g_seen.job, &job);
  EXPECT_EQ(g_seen.operation, DWORD(JOB_OPERATION_RESTORE));
  EXPECT_EQ(g_seen.status, DWORD(STATUS_OK));
  EXPECT_EQ(job.ExitCode, 7u);
  MRestoreJob failing;
  EXPECT_EQ(RunRestoreOnWorker(failing, FailingWorker, TRUE), 0u);
  EXPECT_EQ(JobStatus, DWORD(STATUS_SOURCE_READ_FAILED));
}

}  // namespace

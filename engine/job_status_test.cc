#include "job_status.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "scratch_device.h"

namespace {

struct Asked {
  int answer = IDNO;
  int count = 0;
  std::u16string caption, text;
  UINT type = 0;
};

int Record(LPCWSTR caption, LPCWSTR text, UINT type, void* context) {
  auto* a = static_cast<Asked*>(context);
  ++a->count;
  a->caption = caption;
  a->text = text;
  a->type = type;
  return a->answer;
}

HINSTANCE TestModule() { return reinterpret_cast<HINSTANCE>(0x5151); }

class JobStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const CE_STRINGTABLE_ENTRY kStrings[] = {{22, u"backup?"}, {23, u"restore?"}};
    CeRegisterStringTable(TestModule(), kStrings, 2);
    SetJobMessageSource(TestModule(), u"Caption");
    CeSetMessageBoxAnswerer(Record, &asked);
  }
  void TearDown() override {
    CeSetMessageBoxAnswerer(nullptr, nullptr);
    SetJobMessageSource(nullptr, nullptr);
  }
  // The question is a message box, which needs a device to be shown on.
  cedev::ScratchDevice device_;
  Asked asked;
};

TEST_F(JobStatusTest, ResetClearsEverythingAndSetsOperation) {
  JobStatus = STATUS_BAD_PASSWORD;
  CancelRequested = TRUE;
  CancelConfirmed = TRUE;
  ResetJobStatus(JOB_OPERATION_RESTORE);
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_FALSE(CancelRequested);
  EXPECT_FALSE(CancelConfirmed);
  EXPECT_EQ(JobOperation, JOB_OPERATION_RESTORE);
  CancelRequested = TRUE;
  SetJobError(STATUS_NO_MEMORY);
  ClearJobStatus();
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(JobOperation, JOB_OPERATION_RESTORE) << "ClearJobStatus keeps the operation";
}

TEST_F(JobStatusTest, FirstErrorWins) {
  ResetJobStatus(JOB_OPERATION_BACKUP);
  SetJobError(STATUS_SOURCE_READ_FAILED);
  SetJobError(STATUS_WRITE_FAILED);
  SetJobError(STATUS_NO_MEMORY);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
}

TEST_F(JobStatusTest, TheFirstFailureKeepsTheCallsLastError) {
  ResetJobStatus(JOB_OPERATION_BACKUP);
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(JobFailureLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "no failure yet";
  SetLastError(ERROR_SHARING_VIOLATION);
  SetJobError(STATUS_SOURCE_READ_FAILED);
  SetLastError(ERROR_DISK_FULL);
  SetJobError(STATUS_WRITE_FAILED);
  EXPECT_EQ(JobFailureLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  ResetJobStatus(JOB_OPERATION_BACKUP);
  EXPECT_EQ(JobFailureLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(JobStatusTest, NoQuestionWithoutRequest) {
  ResetJobStatus(JOB_OPERATION_BACKUP);
  EXPECT_FALSE(CancelCheckpoint());
  EXPECT_EQ(asked.count, 0);
}

TEST_F(JobStatusTest, BackupQuestionAnsweredNoContinues) {
  ResetJobStatus(JOB_OPERATION_BACKUP);
  CancelRequested = TRUE;
  asked.answer = IDNO;
  EXPECT_FALSE(CancelCheckpoint());
  EXPECT_EQ(asked.count, 1);
  EXPECT_EQ(asked.text, u"backup?");
  EXPECT_EQ(asked.caption, u"Caption");
  EXPECT_EQ(asked.type, 0x50124u);
  EXPECT_FALSE(CancelRequested);
  EXPECT_FALSE(CancelConfirmed);
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_FALSE(CancelCheckpoint());
  EXPECT_EQ(asked.count, 1) << "asked once per request";
}

TEST_F(JobStatusTest, RestoreQuestionAnsweredYesCancels) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  CancelRequested = TRUE;
  asked.answer = IDYES;
  EXPECT_TRUE(CancelCheckpoint());
  EXPECT_EQ(asked.text, u"restore?");
  EXPECT_TRUE(CancelConfirmed);
  EXPECT_EQ(JobStatus, STATUS_CANCELLED);
  SetJobError(STATUS_ARCHIVE_READ_FAILED);
  EXPECT_EQ(JobStatus, STATUS_CANCELLED) << "a later failure does not hide the cancel";
  EXPECT_TRUE(CancelCheckpoint());
  EXPECT_EQ(asked.count, 1) << "not asked again once confirmed";
}

}  // namespace

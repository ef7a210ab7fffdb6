// The engine's record primitives: what they record in the job status. The
// bytes they write are the format's (format/primitives_test.cc).
#include "records.h"

#include <gtest/gtest.h>

#include <memory>

#include "job_status.h"
#include "archive_format.h"
#include "test_streams.h"
#include "wide_text.h"

namespace {

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetJobStatus(JOB_OPERATION_BACKUP); }
};

TEST_F(RecordsTest, ReadsAndWritesThatMoveEveryByteLeaveTheStatusAlone) {
  LimitedSink sink;
  ASSERT_TRUE(WriteString(&sink, u"\u30CD\u30C3\u30C8\uFF21"));
  ASSERT_TRUE(WriteU32(&sink, 7) && WriteU16(&sink, 8) && WriteBytes(&sink, "xyz", 3));
  std::unique_ptr<MMemoryStream> src(NewSource(sink.bytes));
  LPWSTR text = ReadString(src.get());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text), u"\u30CD\u30C3\u30C8\uFF21");
  FreeString(text);
  DWORD d = 0;
  WORD w = 0;
  char bytes[3];
  EXPECT_TRUE(ReadU32(src.get(), &d) && ReadU16(src.get(), &w) && ReadBytes(src.get(), bytes, 3));
  EXPECT_EQ(src->ReadPosition(), sink.bytes.size());
  EXPECT_EQ(JobStatus, STATUS_OK);
}

TEST_F(RecordsTest, ReadStringGivesTheStoredCount) {
  LimitedSink sink;
  ASSERT_TRUE(WriteString(&sink, u""));
  sink.bytes.insert(sink.bytes.end(), {0x03, 0x00, 0x00, 0x00, 0x00, 'a', 0x00, 'b'});  // "a", 0, "b"
  std::unique_ptr<MMemoryStream> src(NewSource(sink.bytes));
  DWORD length = 99;
  LPWSTR empty = ReadString(src.get(), &length);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(empty[0], 0);
  FreeString(empty);
  LPWSTR inner = ReadString(src.get(), &length);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(length, 3u) << "the unit 0 inside is counted";
  EXPECT_EQ(std::u16string(inner, 3), std::u16string(u"a\0b", 3));
  FreeString(inner);
  EXPECT_EQ(JobStatus, STATUS_OK);
}

TEST_F(RecordsTest, ShortStringReadFailsWithArchiveReadFailed) {
  LimitedSink sink;
  ASSERT_TRUE(WriteString(&sink, u"Software"));
  for (size_t cut = 0; cut < sink.bytes.size(); ++cut) {
    ResetJobStatus(JOB_OPERATION_RESTORE);
    std::unique_ptr<MMemoryStream> src(NewSource(Bytes(sink.bytes.begin(), sink.bytes.begin() + cut)));
    EXPECT_EQ(ReadString(src.get()), nullptr) << cut;
    EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED) << cut;
  }
}

TEST_F(RecordsTest, ShortIntegerReadsFail) {
  std::unique_ptr<MMemoryStream> src(NewSource({0x01, 0x02, 0x03}));
  DWORD d = 0xDEADBEEF;
  EXPECT_FALSE(ReadU32(src.get(), &d));
  EXPECT_EQ(d, 0xDEADBEEFu);
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(RecordsTest, WriteFailuresRecordWriteFailedAndFirstErrorWins) {
  LimitedSink full(3);
  EXPECT_FALSE(WriteU32(&full, 1));
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED);
  LimitedSink none(0);
  std::unique_ptr<MMemoryStream> empty(NewSource({}));
  WORD w;
  EXPECT_FALSE(ReadU16(empty.get(), &w));
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED) << "the first failure is kept";
}

TEST_F(RecordsTest, StringWriteFailingInsideTheBytesFails) {
  LimitedSink sink(5);
  EXPECT_FALSE(WriteString(&sink, u"ABCDEFGH"));
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED);
}

TEST_F(RecordsTest, FormatResultsBecomeTheJobStatus) {
  EXPECT_TRUE(FormatResult(archive::Ok()));
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_FALSE(FormatResult(archive::Found(archive::Problem::kWriteFailed, 0)));
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED);
  for (archive::Result r : {archive::Ended(archive::Field::kFileFields, archive::kNodeFile),
                            archive::Found(archive::Problem::kValueTooLarge, archive::kNodeRegValue, 5000),
                            archive::Found(archive::Problem::kForbiddenInName, archive::kNodeFile)}) {
    ResetJobStatus(JOB_OPERATION_RESTORE);
    EXPECT_FALSE(FormatResult(r));
    EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  }
}

}  // namespace

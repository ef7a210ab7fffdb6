#include "records.h"

#include <gtest/gtest.h>

#include <memory>

#include "job_status.h"
#include "test_streams.h"
#include "wide_text.h"

namespace {

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetJobStatus(JOB_OPERATION_BACKUP); }
};

TEST_F(RecordsTest, IntegersAreLittleEndian) {
  LimitedSink sink;
  ASSERT_TRUE(WriteU16(&sink, 0x12345678));
  ASSERT_TRUE(WriteU32(&sink, 0xA1B2C3D4));
  EXPECT_EQ(sink.bytes, (Bytes{0x78, 0x56, 0xD4, 0xC3, 0xB2, 0xA1}));
  std::unique_ptr<MMemoryStream> src(NewSource(sink.bytes));
  WORD w = 0;
  DWORD d = 0;
  ASSERT_TRUE(ReadU16(src.get(), &w));
  ASSERT_TRUE(ReadU32(src.get(), &d));
  EXPECT_EQ(w, 0x5678);
  EXPECT_EQ(d, 0xA1B2C3D4u);
  EXPECT_EQ(JobStatus, STATUS_OK);
}

TEST_F(RecordsTest, CountedStringVectors) {
  LimitedSink sink;
  ASSERT_TRUE(WriteString(&sink, u"DATABASE"));
  EXPECT_EQ(sink.bytes, (Bytes{0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x44, 0x41, 0x54, 0x41, 0x42, 0x41, 0x53, 0x45}));
  sink.bytes.clear();
  ASSERT_TRUE(WriteString(&sink, u"\\"));
  EXPECT_EQ(sink.bytes, (Bytes{0x01, 0x00, 0x00, 0x5C}));
  sink.bytes.clear();
  ASSERT_TRUE(WriteString(&sink, u""));
  EXPECT_EQ(sink.bytes, (Bytes{0x00, 0x00}));
  sink.bytes.clear();
  ASSERT_TRUE(WriteString(&sink, u"\u30EA\u00E9"));
  EXPECT_EQ(sink.bytes, (Bytes{0x02, 0x00, 0x30, 0x00, 0xEA, 0xE9}));
}

TEST_F(RecordsTest, StringsAreWrittenInPiecesOfSixteen) {
  LimitedSink sink;
  std::u16string name(40, u'x');
  ASSERT_TRUE(WriteString(&sink, name.c_str()));
  // count, then 16+16+8 high bytes, then 16+16+8 low bytes
  EXPECT_EQ(sink.writes, 1 + 3 + 3);
  EXPECT_EQ(sink.bytes.size(), 2u + 80u);
}

TEST_F(RecordsTest, ReadStringRoundTripsAndEmptyIsValid) {
  for (const char16_t* text : {u"", u"HKEY_LOCAL_MACHINE", u"\u30CD\u30C3\u30C8\uFF21"}) {
    LimitedSink sink;
    ASSERT_TRUE(WriteString(&sink, text));
    std::unique_ptr<MMemoryStream> src(NewSource(sink.bytes));
    LPWSTR back = ReadString(src.get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::u16string(back), std::u16string(text));
    EXPECT_EQ(src->ReadPosition(), sink.bytes.size());
    FreeString(back);
  }
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

}  // namespace

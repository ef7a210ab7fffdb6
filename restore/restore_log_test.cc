// "Restore.log" on a scratch device: its folder, the rotation that keeps the
// last 29 sections of the log's head, the spare copy during a rewrite, and
// the two kinds of lines.
#include "restore_log.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "device_files.h"
#include "device_control.h"
#include "scratch_device.h"

namespace {

const std::u16string kLog = u"\\FlashDisk\\CE\\ARM\\Restore.log";
const std::u16string kSpare = u"\\FlashDisk\\CE\\ARM\\Restore.bak";

// One run's section: its header (the section's only ">") and a line.
std::string Section(int run) {
  return std::string(run % 2 ? "\r\n>Backup Mode\r\n" : "\r\n>Restore Mode\r\n") + "Step " + std::to_string(run) +
         " - OK\r\n";
}

std::string Sections(int first, int count) {
  std::string log;
  for (int run = first; run < first + count; ++run) log += Section(run);
  return log;
}

class RestoreLog : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* folder : {u"\\FlashDisk\\CE", u"\\FlashDisk\\CE\\ARM"}) {
      ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
    }
  }
  void TearDown() override { cedev::ClearFaults(); }

  cedev::ScratchDevice device_;
};

// ---- Rotation

TEST_F(RestoreLog, WithoutALogTheFolderIsMadeAndAnEmptyLogCreated) {
  ASSERT_TRUE(RemoveDirectoryW(u"\\FlashDisk\\CE\\ARM"));
  ASSERT_TRUE(RemoveDirectoryW(u"\\FlashDisk\\CE"));
  EXPECT_TRUE(RotateLog(u"FlashDisk"));
  EXPECT_EQ(ReadDeviceText(kLog), "");
  AppendLogText(kLog.c_str(), "\r\n>Backup Mode\r\n");
  EXPECT_EQ(ReadDeviceText(kLog), "\r\n>Backup Mode\r\n");
}

TEST_F(RestoreLog, TwentyNineSectionsStayAsTheyAre) {
  std::string log = Sections(1, 29);
  ASSERT_TRUE(WriteDeviceText(kLog, log));
  EXPECT_TRUE(RotateLog(u"FlashDisk"));
  EXPECT_EQ(ReadDeviceText(kLog), log);
}

TEST_F(RestoreLog, ThirtySectionsKeepTheLastTwentyNineFromTheSecondHeader) {
  std::string log = Sections(1, 30);
  ASSERT_LT(log.size(), 6001u);
  ASSERT_TRUE(WriteDeviceText(kLog, log));
  EXPECT_TRUE(RotateLog(u"FlashDisk"));
  // From the second section's ">": its CR LF before it goes with the first.
  std::string kept = Sections(2, 29).substr(2);
  EXPECT_EQ(ReadDeviceText(kLog), kept);
  EXPECT_FALSE(Exists(kSpare));
  AppendLogText(kLog.c_str(), "\r\n>Restore Mode\r\n");
  EXPECT_EQ(ReadDeviceText(kLog), kept + "\r\n>Restore Mode\r\n");
}

TEST_F(RestoreLog, OnlyTheFirst6001BytesAreCountedAndKept) {
  // Long sections: 29 headers within the head and many more past it.
  std::string padding(190, '.');
  std::string log;
  for (int run = 1; log.size() <= 6000 || run <= 60; ++run) log += "\r\n>Backup Mode\r\n" + padding + "\r\n";
  int headers_in_head = 0;
  for (size_t i = 0; i <= 6000; ++i) headers_in_head += log[i] == '>';
  ASSERT_EQ(headers_in_head, 29);
  ASSERT_TRUE(WriteDeviceText(kLog, log));
  EXPECT_TRUE(RotateLog(u"FlashDisk"));
  EXPECT_EQ(ReadDeviceText(kLog), log) << "fewer than 30 headers in the head: never trimmed";

  // One more header in the head: the log is cut to the head, from its second header on.
  std::string longer = "\r\n>Restore Mode\r\n" + log;
  ASSERT_TRUE(WriteDeviceText(kLog, longer));
  EXPECT_TRUE(RotateLog(u"FlashDisk"));
  size_t second = longer.find('>', longer.find('>') + 1);
  EXPECT_EQ(ReadDeviceText(kLog), longer.substr(second, 6001 - second));
}

TEST_F(RestoreLog, AFailedRewritePutsThePreviousLogBack) {
  std::string log = Sections(1, 40);
  for (const char* op : {"file.write", "file.create", "volume.full"}) {
    SCOPED_TRACE(op);
    ASSERT_TRUE(WriteDeviceText(kLog, log));
    ASSERT_TRUE(cedev::AddFault(op, kLog, ERROR_WRITE_FAULT, 1));
    EXPECT_FALSE(RotateLog(u"FlashDisk"));
    cedev::ClearFaults();
    EXPECT_EQ(ReadDeviceText(kLog), log);
    EXPECT_FALSE(Exists(kSpare));
  }
  // The next run's rotation goes through.
  EXPECT_TRUE(RotateLog(u"FlashDisk"));
  EXPECT_EQ(ReadDeviceText(kLog), Sections(12, 29).substr(2));
}

TEST_F(RestoreLog, ASpareLeftByAnEarlierRunDoesNotBlockTheRotation) {
  ASSERT_TRUE(WriteDeviceText(kSpare, "an older log"));
  ASSERT_TRUE(WriteDeviceText(kLog, Sections(1, 30)));
  EXPECT_TRUE(RotateLog(u"FlashDisk"));
  EXPECT_EQ(ReadDeviceText(kLog), Sections(2, 29).substr(2));
  EXPECT_FALSE(Exists(kSpare));
}

TEST_F(RestoreLog, ALogThatCannotBeReadIsLeftAlone) {
  std::string log = Sections(1, 30);
  ASSERT_TRUE(WriteDeviceText(kLog, log));
  ASSERT_TRUE(cedev::AddFault("file.read", kLog, ERROR_READ_FAULT, 1));
  EXPECT_FALSE(RotateLog(u"FlashDisk"));
  cedev::ClearFaults();
  EXPECT_EQ(ReadDeviceText(kLog), log);
}

// ---- Lines

TEST_F(RestoreLog, StampedLinesHaveTwoDigitMonthDayHourAndMinute) {
  char line[kStampedLineBytes];
  SYSTEMTIME early = {2013, 2, 2, 5, 8, 3, 9, 0};
  FormatStampedLine(line, "Restore Complete", early);
  EXPECT_STREQ(line, "Restore Complete 2013/02/05 08:03\r\n");
  SYSTEMTIME late = {2012, 12, 1, 31, 23, 59, 59, 999};
  FormatStampedLine(line, "Clock Setting - NG", late);
  EXPECT_STREQ(line, "Clock Setting - NG 2012/12/31 23:59\r\n");
}

TEST_F(RestoreLog, AMessageTooLongForTheLineBufferIsCutNotOverrun) {
  std::string message(400, 'm');
  char line[kStampedLineBytes + 8];
  std::memset(line, 'X', sizeof line);
  FormatStampedLine(line, message.c_str(), SYSTEMTIME{2013, 2, 2, 5, 8, 3, 0, 0});
  EXPECT_EQ(std::strlen(line), size_t(kStampedLineBytes - 1));
  EXPECT_EQ(line[kStampedLineBytes], 'X');
}

TEST_F(RestoreLog, StampedLinesCarryTheDevicesLocalTime) {
  SYSTEMTIME at = {2012, 11, 3, 7, 9, 5, 0, 0};
  ASSERT_TRUE(SetLocalTime(&at));
  AppendStampedLine(kLog.c_str(), "Backup Complete");
  EXPECT_EQ(ReadDeviceText(kLog), "Backup Complete 2012/11/07 09:05\r\n");
}

TEST_F(RestoreLog, EachLineIsAppendedAndTheLogClosedAgain) {
  ASSERT_TRUE(WriteDeviceText(kLog, "earlier\r\n"));
  AppendLogText(kLog.c_str(), "Calibration Data - OK\r\n");
  // Nothing holds the log between lines: an exclusive open succeeds.
  HANDLE exclusive = CreateFileW(kLog.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  CloseHandle(exclusive);
  AppendLogText(kLog.c_str(), "Clock Setting - OK\r\n");
  EXPECT_EQ(ReadDeviceText(kLog), "earlier\r\nCalibration Data - OK\r\nClock Setting - OK\r\n");
}

TEST_F(RestoreLog, ALogThatCannotBeOpenedDoesNotStopTheTool) {
  ASSERT_TRUE(cedev::AddFault("file.create", kLog, ERROR_ACCESS_DENIED));
  AppendLogText(kLog.c_str(), "Clock Setting - OK\r\n");
  AppendStampedLine(kLog.c_str(), "Clock Setting - NG");
  cedev::ClearFaults();
  EXPECT_FALSE(Exists(kLog));
}

}  // namespace

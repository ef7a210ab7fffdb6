// The file commands of cedev end to end: each goes through the device's
// file API, so the device's rules (ROM, read-only files, confinement,
// volume quotas) hold for them as for a program, and each failure names
// the device path and the cause.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cedev_scenario.h"

namespace tlvtest {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

class CedevFiles : public CedevScenario {
 protected:
  // Puts a host file holding `text` (or `size` bytes) at the device path.
  void PutText(const std::string& device_path, const std::string& text) {
    fs::path host = scratch_.path() / "put.tmp";
    std::ofstream(host, std::ios::binary) << text;
    ToolResult put = Cedev({"put", host.string(), device_path});
    ASSERT_EQ(put.exit_code, 0) << device_path << ": " << put.err;
  }
  std::string GetText(const std::string& device_path) {
    fs::path host = scratch_.path() / "get.tmp";
    ToolResult get = Cedev({"get", device_path, host.string()});
    if (get.exit_code != 0) return "(" + get.err + ")";
    std::ifstream in(host, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  bool Exists(const std::string& device_path) { return Cedev({"ls", device_path}).exit_code == 0; }
  // A command that fails (exit 1) with a message holding `cause`.
  void ExpectFails(const ToolResult& result, const std::string& cause) {
    EXPECT_EQ(result.exit_code, 1) << cause << ": " << result.err;
    EXPECT_THAT(result.err, HasSubstr(cause));
  }
};

TEST_F(CedevFiles, MkdirMakesFoldersAndMinusPTheMissingOnesAbove) {
  ExpectFails(Cedev({"mkdir", "\\My Documents\\a\\b"}), "\\My Documents\\a\\b: ERROR_PATH_NOT_FOUND");
  ASSERT_EQ(Cedev({"mkdir", "-p", "\\My Documents\\a\\b"}).exit_code, 0);
  EXPECT_THAT(Cedev({"ls", "-l", "\\My Documents\\a"}).out, ContainsRegex("d------ .* b\\\\"));
  EXPECT_EQ(Cedev({"mkdir", "-p", "\\My Documents\\a\\b"}).exit_code, 0) << "an existing folder is fine with -p";
  ExpectFails(Cedev({"mkdir", "\\My Documents\\a"}), "ERROR_ALREADY_EXISTS");
  PutText("\\My Documents\\file.txt", "x");
  ExpectFails(Cedev({"mkdir", "-p", "\\My Documents\\file.txt\\sub"}), "\\My Documents\\file.txt");
  ExpectFails(Cedev({"mkdir", "-p", "\\My Documents\\..\\..\\escape"}), "ERROR_INVALID_NAME");
  EXPECT_FALSE(fs::exists(scratch_.path() / "escape"));
}

TEST_F(CedevFiles, PutMinusPMakesTheFoldersOfTheTarget) {
  fs::path host = scratch_.path() / "letter.txt";
  std::ofstream(host) << "dear device";
  ExpectFails(Cedev({"put", host.string(), "\\My Documents\\new\\deeper\\letter.txt"}), "\\My Documents\\new\\deeper\\letter.txt: ERROR_PATH_NOT_FOUND");
  ASSERT_EQ(Cedev({"put", "-p", host.string(), "\\My Documents\\new\\deeper\\letter.txt"}).exit_code, 0);
  EXPECT_EQ(GetText("\\My Documents\\new\\deeper\\letter.txt"), "dear device");
}

TEST_F(CedevFiles, RmRemovesFilesButNotRomFiles) {
  PutText("\\My Documents\\gone.txt", "bye");
  ASSERT_EQ(Cedev({"rm", "\\My Documents\\gone.txt"}).exit_code, 0);
  EXPECT_FALSE(Exists("\\My Documents\\gone.txt"));
  ExpectFails(Cedev({"rm", "\\Windows\\ModelSetup.exe"}), "\\Windows\\ModelSetup.exe: ERROR_ACCESS_DENIED");
  EXPECT_TRUE(Exists("\\Windows\\ModelSetup.exe"));
  ExpectFails(Cedev({"rm", "\\My Documents\\never.txt"}), "\\My Documents\\never.txt: ERROR_FILE_NOT_FOUND");
}

TEST_F(CedevFiles, RmMinusRStopsAtAReadOnlyFileAndKeepsItsFolders) {
  ASSERT_EQ(Cedev({"mkdir", "-p", "\\Old\\keep"}).exit_code, 0);
  PutText("\\Old\\a.txt", "a");
  PutText("\\Old\\keep\\locked.txt", "locked");
  PutText("\\Old\\keep\\b.txt", "b");
  ASSERT_EQ(Cedev({"attrib", "\\Old\\keep\\locked.txt", "+r"}).exit_code, 0);
  ExpectFails(Cedev({"rm", "\\Old"}), "\\Old: ERROR_DIR_NOT_EMPTY");

  ExpectFails(Cedev({"rm", "-r", "\\Old"}), "\\Old\\keep\\locked.txt: ERROR_ACCESS_DENIED");
  EXPECT_EQ(Cedev({"ls", "\\Old"}).out, "keep\\\n");
  EXPECT_EQ(Cedev({"ls", "\\Old\\keep"}).out, "locked.txt\n");

  ASSERT_EQ(Cedev({"attrib", "\\Old\\keep\\locked.txt", "-r"}).exit_code, 0);
  ToolResult rest = Cedev({"rm", "-r", "\\Old"});
  EXPECT_EQ(rest.exit_code, 0) << rest.err;
  EXPECT_FALSE(Exists("\\Old"));
}

TEST_F(CedevFiles, MvAcrossAVolumeBoundaryCountsAgainstTheQuota) {
  PutText("\\My Documents\\big.bin", std::string(100000, 'b'));
  ASSERT_EQ(Cedev({"set", "quota", "FlashDisk=64K"}).exit_code, 0);
  ExpectFails(Cedev({"mv", "\\My Documents\\big.bin", "\\FlashDisk"}), "\\My Documents\\big.bin -> \\FlashDisk\\big.bin: ERROR_DISK_FULL");
  EXPECT_TRUE(Exists("\\My Documents\\big.bin"));

  ASSERT_EQ(Cedev({"set", "quota", "FlashDisk=0"}).exit_code, 0);
  ToolResult moved = Cedev({"mv", "\\My Documents\\big.bin", "\\FlashDisk"});
  ASSERT_EQ(moved.exit_code, 0) << moved.err;
  EXPECT_FALSE(Exists("\\My Documents\\big.bin"));
  EXPECT_EQ(GetText("\\FlashDisk\\big.bin"), std::string(100000, 'b'));
  EXPECT_TRUE(fs::exists(fs::path(device_) / "volumes/FlashDisk/big.bin")) << "a plain host file on the volume";
  ASSERT_EQ(Cedev({"mv", "\\FlashDisk\\big.bin", "\\Storage Card\\renamed.bin"}).exit_code, 0);
  EXPECT_EQ(GetText("\\Storage Card\\renamed.bin"), std::string(100000, 'b'));

  ExpectFails(Cedev({"mv", "\\Windows\\ModelSetup.exe", "\\FlashDisk"}), "ERROR_ACCESS_DENIED");
  EXPECT_TRUE(Exists("\\Windows\\ModelSetup.exe"));
}

TEST_F(CedevFiles, CpCopiesOnTheDeviceAndACopyOfRomIsOrdinary) {
  ASSERT_EQ(Cedev({"cp", "\\Windows\\ModelSetup.ini", "\\My Documents"}).exit_code, 0);
  EXPECT_EQ(GetText("\\My Documents\\ModelSetup.ini"), GetText("\\Windows\\ModelSetup.ini"));
  ToolResult attrib = Cedev({"attrib", "\\My Documents\\ModelSetup.ini"});
  ASSERT_EQ(attrib.exit_code, 0) << attrib.err;
  EXPECT_THAT(attrib.out, Not(HasSubstr("R"))) << attrib.out;
  ExpectFails(Cedev({"cp", "\\My Documents\\ModelSetup.ini", "\\Windows\\ModelSetup.exe"}), "\\Windows\\ModelSetup.exe: ERROR_ACCESS_DENIED");
  ExpectFails(Cedev({"cp", "\\Windows", "\\My Documents"}), "is a folder");
}

TEST_F(CedevFiles, AttribRoundTripShowsInLsAndInABackup) {
  PutText("\\My Documents\\probe.txt", "probe");
  ToolResult before = Cedev({"attrib", "\\My Documents\\probe.txt"});
  ASSERT_EQ(before.exit_code, 0) << before.err;
  EXPECT_THAT(before.out, ContainsRegex("^----... \\\\My Documents\\\\probe.txt\n$")) << "not read-only, hidden or system";
  ASSERT_EQ(Cedev({"attrib", "\\My Documents\\probe.txt", "+hs", "+r"}).exit_code, 0);
  EXPECT_THAT(Cedev({"attrib", "\\My Documents\\probe.txt"}).out, ContainsRegex("^-rhs"));
  EXPECT_THAT(Cedev({"ls", "-l", "\\My Documents"}).out, ContainsRegex("-rhs... .* probe.txt"));

  ASSERT_EQ(Cedev({"job", "backup"}).exit_code, 0);
  fs::path archive = scratch_.path() / "Backup.dat";
  ASSERT_EQ(Cedev({"get", "\\FlashDisk\\Backup\\Backup.dat", archive.string()}).exit_code, 0);
  ToolResult listed = RunTool("tlvarc", {"list", "--long", archive.string(), "\\My Documents\\probe.txt"});
  ASSERT_EQ(listed.exit_code, 0) << listed.err;
  EXPECT_THAT(listed.out, ContainsRegex("file +RHS.* \\\\My Documents\\\\probe.txt"));

  ASSERT_EQ(Cedev({"attrib", "\\My Documents\\probe.txt", "-rhs"}).exit_code, 0);
  EXPECT_THAT(Cedev({"ls", "-l", "\\My Documents"}).out, ContainsRegex("----... .* probe.txt"));
  ToolResult bad = Cedev({"attrib", "\\My Documents\\probe.txt", "+x"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_THAT(bad.err, HasSubstr("'+x'"));
  ExpectFails(Cedev({"attrib", "\\Windows\\ModelSetup.exe", "-r"}), "\\Windows\\ModelSetup.exe: ERROR_ACCESS_DENIED");
}

TEST_F(CedevFiles, TouchMakesAFileAndSetsItsTime) {
  ASSERT_EQ(Cedev({"touch", "\\My Documents\\stamp.txt", "--time", "2021-03-04 05:06:07"}).exit_code, 0);
  EXPECT_THAT(Cedev({"ls", "-l", "\\My Documents\\stamp.txt"}).out,
              HasSubstr("0 2021-03-04 05:06:07 stamp.txt"));
  PutText("\\My Documents\\kept.txt", "content");
  ASSERT_EQ(Cedev({"touch", "\\My Documents\\kept.txt", "--time", "2020-01-01"}).exit_code, 0);
  EXPECT_THAT(Cedev({"ls", "-l", "\\My Documents\\kept.txt"}).out, HasSubstr("2020-01-01 00:00:00"));
  EXPECT_EQ(GetText("\\My Documents\\kept.txt"), "content") << "touch keeps the content";
  EXPECT_EQ(Cedev({"touch", "\\My Documents\\x.txt", "--time", "yesterday"}).exit_code, 2);
  ExpectFails(Cedev({"touch", "\\Windows\\ModelSetup.exe"}), "ERROR_ACCESS_DENIED");
}

TEST_F(CedevFiles, VolumeFullOnAVolumeFolderFailsTheWritesBelowIt) {
  ASSERT_EQ(Cedev({"fault", "add", "volume.full", "\\FlashDisk"}).exit_code, 0);
  EXPECT_THAT(Cedev({"fault", "list"}).out, HasSubstr("volume.full \\FlashDisk\\* "));
  fs::path host = scratch_.path() / "small.txt";
  std::ofstream(host) << "small";
  ExpectFails(Cedev({"put", host.string(), "\\FlashDisk\\small.txt"}), "ERROR_DISK_FULL");
  EXPECT_EQ(Cedev({"put", host.string(), "\\My Documents\\small.txt"}).exit_code, 0) << "the store is not full";
  ToolResult backup = Cedev({"job", "registry-backup"});
  EXPECT_EQ(backup.exit_code, 1);
  EXPECT_THAT(backup.out, HasSubstr("STATUS_WRITE_FAILED"));
  EXPECT_THAT(backup.err, HasSubstr("the volume is full"));
}

}  // namespace
}  // namespace tlvtest

// `cedev job` end to end: where the password comes from (the environment,
// the terminal with echo off, the command line), and the line that says why
// a job failed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cedev_scenario.h"

namespace tlvtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kSecret = "Kx7-secret";

class CedevJob : public CedevScenario {};

TEST_F(CedevJob, PasswordFromTheEnvironment) {
  std::string env = std::string("CEDEV_PASSWORD=") + kSecret;
  ToolResult backup = Cedev({"job", "registry-backup"}, {env});
  ASSERT_EQ(backup.exit_code, 0) << backup.err;
  EXPECT_EQ(backup.out, "STATUS_OK (0x3000)\n");
  EXPECT_EQ(backup.err, "") << "nothing to explain";

  ToolResult without = Cedev({"job", "registry-restore"});
  EXPECT_EQ(without.exit_code, 1);
  EXPECT_EQ(without.out, "STATUS_BAD_PASSWORD (0x2004)\n");
  EXPECT_THAT(without.err, HasSubstr("the password does not open \\FlashDisk\\Backup\\Registory.dat"));
  ToolResult given_wins = Cedev({"job", "registry-restore", "--password", "other"}, {env});
  EXPECT_EQ(given_wins.exit_code, 1) << "--password TEXT goes before the environment";
  ToolResult with = Cedev({"job", "registry-restore"}, {env});
  EXPECT_EQ(with.exit_code, 0) << with.err;
}

TEST_F(CedevJob, PasswordAskedAtTheTerminalWithEchoOff) {
  ASSERT_EQ(Cedev({"job", "registry-backup", "--password", kSecret}).exit_code, 0);
  ToolResult right = RunToolAtTerminal("cedev", {"-d", device_, "job", "registry-restore", "--password", "-"},
                                       {"Password: "}, {kSecret});
  EXPECT_EQ(right.exit_code, 0) << right.out;
  EXPECT_THAT(right.out, HasSubstr("Password: "));
  EXPECT_THAT(right.out, HasSubstr("STATUS_OK"));
  EXPECT_THAT(right.out, Not(HasSubstr(kSecret))) << "the terminal must not echo the password";

  ToolResult wrong = RunToolAtTerminal("cedev", {"-d", device_, "job", "registry-restore", "--password", "-"},
                                       {"Password: "}, {"not it"});
  EXPECT_EQ(wrong.exit_code, 1);
  EXPECT_THAT(wrong.out, HasSubstr("STATUS_BAD_PASSWORD"));
}

TEST_F(CedevJob, PasswordDashWithoutATerminalTakesTheEnvironmentOrRefuses) {
  ASSERT_EQ(Cedev({"job", "registry-backup", "--password", kSecret}).exit_code, 0);
  ToolResult none = Cedev({"job", "registry-restore", "--password", "-"});
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_THAT(none.err, HasSubstr("CEDEV_PASSWORD"));
  EXPECT_EQ(none.out, "") << "no job ran";
  ToolResult env = Cedev({"job", "registry-restore", "--password", "-"}, {std::string("CEDEV_PASSWORD=") + kSecret});
  EXPECT_EQ(env.exit_code, 0) << env.err;
}

TEST_F(CedevJob, SaysWhyWhenThereIsNoArchive) {
  ToolResult restore = Cedev({"job", "restore", "--location", "Storage Card"});
  EXPECT_EQ(restore.exit_code, 1);
  EXPECT_EQ(restore.out, "STATUS_ARCHIVE_READ_FAILED (0x2002)\n");
  EXPECT_THAT(restore.err, HasSubstr("no archive at \\Storage Card\\Backup\\Backup.dat"));
}

TEST_F(CedevJob, SaysWhenTheArchiveBelongsToAnotherPlatform) {
  ASSERT_EQ(Cedev({"job", "registry-backup"}).exit_code, 0);
  ASSERT_EQ(Cedev({"reg", "set", "HKLM\\Platform", "Name", "sz", "Other"}).exit_code, 0);
  ToolResult restore = Cedev({"job", "registry-restore"});
  EXPECT_EQ(restore.exit_code, 1);
  EXPECT_EQ(restore.out, "STATUS_ARCHIVE_READ_FAILED (0x2002)\n");
  EXPECT_THAT(restore.err, HasSubstr("\\FlashDisk\\Backup\\Registory.dat belongs to the platform"));
  EXPECT_THAT(restore.err, HasSubstr("this device is \"Other\""));
}

TEST_F(CedevJob, SaysWhichFileCouldNotBeRead) {
  ASSERT_EQ(Cedev({"fault", "add", "file.read", "\\My Documents\\*", "ERROR_READ_FAULT"}).exit_code, 0);
  ToolResult backup = Cedev({"job", "backup"});
  EXPECT_EQ(backup.exit_code, 1);
  EXPECT_EQ(backup.out, "STATUS_SOURCE_READ_FAILED (0x1004)\n");
  EXPECT_THAT(backup.err, HasSubstr("\\My Documents\\"));
  EXPECT_THAT(backup.err, HasSubstr("file.read failed with ERROR_READ_FAULT"));
  EXPECT_EQ(std::count(backup.err.begin(), backup.err.end(), '\n'), 1) << "one line";
}

}  // namespace
}  // namespace tlvtest

// The auto-restore tool in backup mode, end to end on the sample device: it
// runs the main program (here a stand-in that ends with the main program's
// result box), watches that box through the window system, and installs
// itself only when the box says the backup succeeded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tool_runner.h"

namespace tlvtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class AutoRestoreScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = (scratch_.path() / "device").string();
    ASSERT_EQ(RunTool("cedev", {"init", device_}).exit_code, 0);
    // Nobody sits at this device: the automatic user presses what the
    // watcher leaves open (the tool's own completion or failure box).
    ASSERT_EQ(Cedev({"set", "user", "auto", "1500"}).exit_code, 0);
  }

  ToolResult Cedev(std::vector<std::string> args) {
    args.insert(args.begin(), {"-d", device_});
    return RunTool("cedev", args);
  }

  void Put(const std::string& content, const std::string& devicePath) {
    auto host = scratch_.path() / "upload";
    std::ofstream(host, std::ios::binary | std::ios::trunc) << content;
    ToolResult put = Cedev({"put", host.string(), devicePath});
    ASSERT_EQ(put.exit_code, 0) << devicePath << ": " << put.err;
  }

  // The main program the tool prefers: the one in the storage's CE\ARM.
  void PutMainProgram(const std::string& behaviour) {
    std::filesystem::create_directories(std::filesystem::path(device_) / "volumes" / "FlashDisk" / "CE" / "ARM");
    Put("#!cedev-program main_program_standin\n" + behaviour + "\n", "\\FlashDisk\\CE\\ARM\\tolvane.exe");
  }

  std::string DeviceText(const std::string& devicePath) {
    auto host = scratch_.path() / "download";
    std::filesystem::remove(host);
    if (Cedev({"get", devicePath, host.string()}).exit_code != 0) return "";
    std::ifstream in(host, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // How many times the installed copy has ended, waiting (at most `tries`
  // tenths of a second) until it has ended `times` times.
  int AwaitInstalledCopyEnds(int times, int tries) {
    const std::string ended = "end \\FlashDisk\\CE\\ARM\\Restore.exe";
    int ends = 0;
    for (int i = 0; i < tries; ++i) {
      std::string events = Cedev({"events", "--kind", "process"}).out;
      ends = 0;
      for (size_t at = events.find(ended); at != std::string::npos; at = events.find(ended, at + 1)) ++ends;
      if (ends >= times) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return ends;
  }

  ScratchFolder scratch_;
  std::string device_;
};

TEST_F(AutoRestoreScenario, ASucceededBackupInstallsTheToolAndSetsTheFlag) {
  PutMainProgram("info");
  ToolResult run = Cedev({"run", "--timeout", "120", "restore", "/S"});
  EXPECT_THAT(run.out, HasSubstr("exit code 1")) << run.err;
  EXPECT_THAT(Cedev({"events"}).out, HasSubstr("main program stand-in: /B/FlashDisk"));
  EXPECT_EQ(DeviceText("\\FlashDisk\\CE\\ARM\\Restore.exe"), "#!cedev-program restore\n");
  EXPECT_THAT(Cedev({"reg", "query", "HKLM\\Drivers\\Velta\\UTIL\\RESTORE"}).out, HasSubstr("RestoreFlag"));
  std::string log = DeviceText("\\FlashDisk\\CE\\ARM\\Restore.log");
  EXPECT_THAT(log, HasSubstr(">Backup Mode\r\n"));
  EXPECT_THAT(log, HasSubstr("Tolvane.exe Backup - OK\r\n"));
  EXPECT_THAT(log, HasSubstr("Backup Complete"));
  // The box the watcher read was pressed by the watcher, not by the automatic user.
  EXPECT_THAT(Cedev({"events", "--kind", "user"}).out, Not(HasSubstr("Tolvane Utility")));
}

TEST_F(AutoRestoreScenario, AFailedBackupInstallsNothingAndEndsWithTheFailureBox) {
  PutMainProgram("stop");
  ToolResult run = Cedev({"run", "--timeout", "120", "restore", "/S"});
  EXPECT_THAT(run.out, HasSubstr("exit code 0")) << run.err;
  EXPECT_EQ(Cedev({"ls", "\\FlashDisk\\CE\\ARM\\Restore.exe"}).exit_code, 1);
  EXPECT_THAT(Cedev({"reg", "query", "HKLM\\Drivers\\Velta\\UTIL\\RESTORE"}).out, Not(HasSubstr("RestoreFlag")));
  EXPECT_THAT(DeviceText("\\FlashDisk\\CE\\ARM\\Restore.log"), HasSubstr("Tolvane.exe Backup - NG"));
  // The sample device speaks Japanese: the failure box comes from that column.
  std::string boxes = Cedev({"events", "--kind", "msgbox"}).out;
  EXPECT_THAT(boxes, HasSubstr("caption \"Tolvane Utility\" text \"Failed.\" flags 0x40010 answer ok by press"));
  EXPECT_THAT(boxes, HasSubstr("caption \"バックアップ\" text \"バックアップに失敗しました。"));
}

// The installed copy after a full reset (no "RestoreFlag"): the main program
// restores, the flag comes back, the device resets, and the copy the boot
// starts again finds the flag and ends at once.
TEST_F(AutoRestoreScenario, TheInstalledCopyRestoresResetsTheDeviceAndThenStaysQuiet) {
  PutMainProgram("info");
  Put("#!cedev-program restore\n", "\\FlashDisk\\CE\\ARM\\Restore.exe");
  Cedev({"run", "--timeout", "120", "\\FlashDisk\\CE\\ARM\\Restore.exe"});
  // The run ends with the reset; the copy the boot starts ends on its own.
  ASSERT_EQ(AwaitInstalledCopyEnds(2, 100), 2);
  std::string all = Cedev({"events"}).out;
  EXPECT_THAT(all, HasSubstr("main program stand-in: /R/FlashDisk"));
  EXPECT_THAT(all, HasSubstr("reset: soft reset by \\FlashDisk\\CE\\ARM\\Restore.exe"));
  EXPECT_THAT(all, HasSubstr("boot: after soft reset"));
  EXPECT_THAT(Cedev({"reg", "query", "HKLM\\Drivers\\Velta\\UTIL\\RESTORE"}).out, HasSubstr("RestoreFlag"));
  std::string log = DeviceText("\\FlashDisk\\CE\\ARM\\Restore.log");
  EXPECT_THAT(log, HasSubstr(">Restore Mode\r\n"));
  EXPECT_THAT(log, HasSubstr("Clock Setting - OK\r\n"));
  EXPECT_THAT(log, HasSubstr("Tolvane.exe Restore - OK\r\n"));
  EXPECT_THAT(log, HasSubstr("Restore Complete"));
  // One section: the run after the reset found the flag and wrote nothing.
  EXPECT_EQ(log.find(">Restore Mode"), log.rfind(">Restore Mode"));
}

// The whole story with the device's own main program: the tool makes its
// backup and installs itself; a full reset loses the letter and the flag;
// the boot opens the start-up windows and starts the installed copy, which
// closes them, sets the clock, has the main program restore, and resets the
// device; after that boot the copy finds the flag and stays quiet.
TEST_F(AutoRestoreScenario, AFullResetIsUndoneByTheInstalledCopyWithNoOtherCommand) {
  Put("A letter written before the backup.\r\n", "\\My Documents\\Letter.txt");
  ToolResult backup = Cedev({"run", "--timeout", "300", "restore", "/S"});
  ASSERT_THAT(backup.out, HasSubstr("exit code 1")) << backup.out << backup.err;
  // The run shows the boxes it brought up: the main program's, read by the
  // tool's watcher, and the tool's own.
  EXPECT_THAT(backup.out, HasSubstr("caption \"Tolvane Utility\" text \"ﾊﾞｯｸｱｯﾌﾟが終了しました。:"));
  EXPECT_THAT(backup.out, HasSubstr("text \"バックアップが終了しました。\" flags 0x40040 answer ok by default icon information"));
  ASSERT_EQ(Cedev({"reset", "--full"}).exit_code, 0);
  EXPECT_EQ(Cedev({"ls", "\\My Documents\\Letter.txt"}).exit_code, 1) << "the full reset took the letter";

  // The installed copy ends twice: after its restore (by the reset) and at
  // once in the boot that follows.
  ASSERT_EQ(AwaitInstalledCopyEnds(2, 3000), 2) << Cedev({"events"}).out;
  EXPECT_EQ(DeviceText("\\My Documents\\Letter.txt"), "A letter written before the backup.\r\n");
  EXPECT_THAT(Cedev({"reg", "query", "HKLM\\Drivers\\Velta\\UTIL\\RESTORE"}).out, HasSubstr("RestoreFlag"));

  // The story in the journal, in its order.
  std::string story = Cedev({"events"}).out;
  size_t at = 0;
  for (const char* step : {"start \\Windows\\tolvane.exe", "args /B/FlashDisk",
                           "text \"ﾊﾞｯｸｱｯﾌﾟが終了しました。:", "answer ok by press",
                           "text \"バックアップが終了しました。\"", "reset: full reset", "boot: after full reset",
                           "start \\Windows\\welcome.exe", "args owner", "args clock",
                           "start \\FlashDisk\\CE\\ARM\\Restore.exe", "welcome window closed",
                           "args /R/FlashDisk", "text \"ﾘｽﾄｱが終了しました。", "answer ok by press",
                           "text \"リストアが終了しました。5秒後にリセットします。\"",
                           "reset: soft reset by \\FlashDisk\\CE\\ARM\\Restore.exe", "boot: after soft reset",
                           "start \\FlashDisk\\CE\\ARM\\Restore.exe"}) {
    size_t found = story.find(step, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << step << "\n" << story;
    at = found + 1;
  }
  // Nobody cancelled a job: the automatic user leaves progress dialogs alone.
  EXPECT_THAT(Cedev({"events", "--kind", "msgbox"}).out, Not(HasSubstr("ﾘｽﾄｱを中断します")));

  std::string log = DeviceText("\\FlashDisk\\CE\\ARM\\Restore.log");
  at = 0;
  for (const char* line : {">Backup Mode\r\n", "Tolvane.exe Backup - OK\r\n", "Backup Complete", ">Restore Mode\r\n",
                           "Clock Setting - OK\r\n", "Tolvane.exe Restore - OK\r\n", "Restore Complete"}) {
    size_t found = log.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
    at = found + 1;
  }
  EXPECT_EQ(log.find(">Restore Mode"), log.rfind(">Restore Mode")) << "the quiet run wrote nothing";
}

}  // namespace
}  // namespace tlvtest

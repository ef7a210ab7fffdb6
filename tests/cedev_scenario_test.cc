// cedev end to end: each test makes the sample device in a scratch folder
// and drives it with the cedev program as a user would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "cedev_scenario.h"

namespace tlvtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(CedevScenario, InitRefusesAnExistingDeviceAndNamesIt) {
  ToolResult again = RunTool("cedev", {"init", device_});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_THAT(again.err, HasSubstr(device_));
  EXPECT_THAT(again.err, HasSubstr("exists"));
}

TEST_F(CedevScenario, InfoShowsSettingsAndWhatTheDeviceHolds) {
  ToolResult info = Cedev({"info"});
  ASSERT_EQ(info.exit_code, 0) << info.err;
  EXPECT_THAT(info.out, HasSubstr("Tovak"));
  EXPECT_THAT(info.out, HasSubstr("\\FlashDisk"));
  EXPECT_THAT(info.out, HasSubstr("\\Storage Card"));
  EXPECT_THAT(info.out, HasSubstr("\\ネットワーク"));
  EXPECT_THAT(info.out, HasSubstr("databases      3 databases"));
  EXPECT_THAT(info.out, Not(HasSubstr("registry       0 keys")));
}

TEST_F(CedevScenario, LsListsFoldersWithRomAndMountedMarks) {
  ToolResult root = Cedev({"ls", "-l", "\\"});
  ASSERT_EQ(root.exit_code, 0) << root.err;
  EXPECT_THAT(root.out, HasSubstr("My Documents\\"));
  // Volumes and mounted folders carry the temporary bit.
  EXPECT_THAT(root.out, ::testing::ContainsRegex("d-----t +0 .* FlashDisk\\\\"));
  EXPECT_THAT(root.out, ::testing::ContainsRegex("d-----t .* Release\\\\"));
  ToolResult windows = Cedev({"ls", "-l", "\\Windows"});
  ASSERT_EQ(windows.exit_code, 0) << windows.err;
  EXPECT_THAT(windows.out, ::testing::ContainsRegex("-r-s-R- .* ModelSetup.exe"));
  EXPECT_THAT(windows.out, HasSubstr("tolvane.exe"));
  ToolResult pattern = Cedev({"ls", "\\Windows\\*.ini"});
  EXPECT_EQ(pattern.out, "ModelSetup.ini\ntolvane.ini\n");
}

TEST_F(CedevScenario, LsOfAMissingPathNamesThePathAndTheCause) {
  ToolResult missing = Cedev({"ls", "\\No Such Folder"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_THAT(missing.err, HasSubstr("\\No Such Folder"));
  EXPECT_THAT(missing.err, HasSubstr("ERROR_FILE_NOT_FOUND"));
  ToolResult bad = Cedev({"ls", "\\Windows\\..\\.."});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_THAT(bad.err, HasSubstr("ERROR_INVALID_NAME"));
}

TEST_F(CedevScenario, PutAndGetCopyBytesBothWays) {
  std::string data;
  for (int i = 0; i < 200000; ++i) data += static_cast<char>(i * 7);
  auto host_in = scratch_.path() / "in.bin", host_out = scratch_.path() / "out.bin";
  std::ofstream(host_in, std::ios::binary) << data;
  ToolResult put = Cedev({"put", host_in.string(), "\\My Documents\\copy.bin"});
  ASSERT_EQ(put.exit_code, 0) << put.err;
  ToolResult get = Cedev({"get", "\\my documents\\COPY.BIN", host_out.string()});
  ASSERT_EQ(get.exit_code, 0) << get.err;
  std::ifstream in(host_out, std::ios::binary);
  std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(back, data);
  ToolResult rom = Cedev({"put", host_in.string(), "\\Windows\\ModelSetup.exe"});
  EXPECT_EQ(rom.exit_code, 1);
  EXPECT_THAT(rom.err, HasSubstr("ERROR_ACCESS_DENIED"));
}

TEST_F(CedevScenario, RegSetQueryDeleteRoundTrip) {
  ASSERT_EQ(Cedev({"reg", "set", "HKLM\\Software\\Probe", "Count", "dword", "0x10"}).exit_code, 0);
  ASSERT_EQ(Cedev({"reg", "set", "HKLM\\Software\\Probe", "Path", "expand_sz", "%TEMP%\\x"}).exit_code, 0);
  ASSERT_EQ(Cedev({"reg", "set", "HKLM\\Software\\Probe", "Bytes", "binary", "0a1b2c"}).exit_code, 0);
  ToolResult query = Cedev({"reg", "query", "HKEY_LOCAL_MACHINE\\software\\probe"});
  ASSERT_EQ(query.exit_code, 0) << query.err;
  EXPECT_THAT(query.out, HasSubstr("Count    REG_DWORD    0x00000010 (16)"));
  EXPECT_THAT(query.out, HasSubstr("Path    REG_EXPAND_SZ    %TEMP%\\x"));
  EXPECT_THAT(query.out, HasSubstr("Bytes    REG_BINARY    0a1b2c"));
  ASSERT_EQ(Cedev({"reg", "delete", "HKLM\\Software\\Probe", "Count"}).exit_code, 0);
  EXPECT_THAT(Cedev({"reg", "query", "HKLM\\Software\\Probe"}).out, Not(HasSubstr("Count")));
  ASSERT_EQ(Cedev({"reg", "delete", "HKLM\\Software\\Probe"}).exit_code, 0);
  ToolResult gone = Cedev({"reg", "query", "HKLM\\Software\\Probe"});
  EXPECT_EQ(gone.exit_code, 1);
  EXPECT_THAT(gone.err, HasSubstr("HKEY_LOCAL_MACHINE\\Software\\Probe"));
  EXPECT_THAT(gone.err, HasSubstr("ERROR_FILE_NOT_FOUND"));
}

TEST_F(CedevScenario, RegQueryShowsThePlatformAndCalibration) {
  ToolResult platform = Cedev({"reg", "query", "HKLM\\Platform"});
  ASSERT_EQ(platform.exit_code, 0) << platform.err;
  EXPECT_THAT(platform.out, HasSubstr("Name    REG_SZ    Velta HT-660"));
  ToolResult touch = Cedev({"reg", "query", "HKLM\\HARDWARE\\DEVICEMAP\\TOUCH"});
  EXPECT_THAT(touch.out, HasSubstr("CalibrationData    REG_SZ"));
}

TEST_F(CedevScenario, RegExportWritesRegeditText) {
  ToolResult exp = Cedev({"reg", "export", "HKLM\\Platform"});
  ASSERT_EQ(exp.exit_code, 0) << exp.err;
  EXPECT_THAT(exp.out, HasSubstr("[HKEY_LOCAL_MACHINE\\Platform]"));
  EXPECT_THAT(exp.out, HasSubstr("\"Name\"=\"Velta HT-660\""));
  ToolResult all = Cedev({"reg", "export"});
  ASSERT_EQ(all.exit_code, 0) << all.err;
  EXPECT_THAT(all.out, HasSubstr("[HKEY_CLASSES_ROOT\\.txt]"));
  EXPECT_THAT(all.out, HasSubstr("[HKEY_CURRENT_USER\\ControlPanel\\Owner]"));
}

TEST_F(CedevScenario, DbListAndDumpShowTheSampleDatabases) {
  ToolResult list = Cedev({"db", "list"});
  ASSERT_EQ(list.exit_code, 0) << list.err;
  EXPECT_THAT(list.out, HasSubstr("\"Contacts Database\" type 0x00000018, 60 records"));
  EXPECT_THAT(list.out, HasSubstr("\"Appointments Database\" type 0x00000019, 40 records"));
  ToolResult dump = Cedev({"db", "dump", "Contacts Database"});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  EXPECT_THAT(dump.out, HasSubstr("Contacts Database"));
  ToolResult missing = Cedev({"db", "dump", "No Such Database"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_THAT(missing.err, HasSubstr("No Such Database"));
}

TEST_F(CedevScenario, FullResetBringsBackFactoryFilesAndRegistryAndKeepsVolumes) {
  auto host_file = scratch_.path() / "note.txt";
  std::ofstream(host_file) << "user data";
  ASSERT_EQ(Cedev({"put", host_file.string(), "\\My Documents\\user.txt"}).exit_code, 0);
  ASSERT_EQ(Cedev({"put", host_file.string(), "\\FlashDisk\\keep.txt"}).exit_code, 0);
  ASSERT_EQ(Cedev({"reg", "set", "HKLM\\Drivers\\Velta\\UTIL\\RESTORE", "RestoreFlag", "dword", "1"}).exit_code, 0);
  ASSERT_EQ(Cedev({"reg", "delete", "HKCU\\ControlPanel\\Owner"}).exit_code, 0);
  ASSERT_EQ(Cedev({"set", "battery", "42"}).exit_code, 0);

  ToolResult reset = Cedev({"reset", "--full"});
  ASSERT_EQ(reset.exit_code, 0) << reset.err;

  EXPECT_EQ(Cedev({"ls", "\\My Documents\\user.txt"}).exit_code, 1);
  EXPECT_EQ(Cedev({"ls", "\\FlashDisk\\keep.txt"}).exit_code, 0);
  EXPECT_THAT(Cedev({"ls", "-l", "\\Windows\\ModelSetup.exe"}).out, HasSubstr("R"));
  EXPECT_THAT(Cedev({"reg", "query", "HKLM\\Drivers\\Velta\\UTIL\\RESTORE"}).out, Not(HasSubstr("RestoreFlag")));
  EXPECT_EQ(Cedev({"reg", "query", "HKCU\\ControlPanel\\Owner"}).exit_code, 0);
  // Settings are the device's, not the object store's.
  EXPECT_THAT(Cedev({"info"}).out, HasSubstr("battery 42%"));
  EXPECT_TRUE(AwaitEvent("welcome program ran"));
}

TEST_F(CedevScenario, SoftResetKeepsTheStoreAndRunsNoWelcome) {
  auto host_file = scratch_.path() / "note.txt";
  std::ofstream(host_file) << "user data";
  ASSERT_EQ(Cedev({"put", host_file.string(), "\\My Documents\\user.txt"}).exit_code, 0);
  ASSERT_EQ(Cedev({"reset", "--soft"}).exit_code, 0);
  EXPECT_EQ(Cedev({"ls", "\\My Documents\\user.txt"}).exit_code, 0);
  ToolResult events = Cedev({"events", "--kind", "boot"});
  EXPECT_THAT(events.out, HasSubstr("after soft reset"));
  EXPECT_THAT(Cedev({"events"}).out, Not(HasSubstr("welcome program ran")));
}

TEST_F(CedevScenario, BootRunsRestoreExeFromAVolume) {
  // Any device program will do as the volume's Restore.exe.
  auto stub = scratch_.path() / "Restore.exe";
  std::ofstream(stub) << "#!cedev-program peghelp\n";
  ASSERT_EQ(Cedev({"put", stub.string(), "\\FlashDisk\\CE\\ARM\\Restore.exe"}).exit_code, 0);
  ToolResult boot = Cedev({"boot"});
  ASSERT_EQ(boot.exit_code, 0) << boot.err;
  EXPECT_TRUE(AwaitEvent("help contents shown"));
}

TEST_F(CedevScenario, RunWaitsAndReportsTheExitCode) {
  // The clock settings wait for somebody to answer them.
  ASSERT_EQ(Cedev({"set", "user", "auto", "100"}).exit_code, 0);
  ToolResult clock = Cedev({"run", "ctlpnl.exe", "clock"});
  EXPECT_EQ(clock.exit_code, 0) << clock.err;
  EXPECT_THAT(clock.out, HasSubstr("exit code 0"));
  ToolResult events = Cedev({"events", "--kind", "ctlpnl"});
  EXPECT_THAT(events.out, HasSubstr("clock settings closed with OK, unchanged"));
  ToolResult bad = Cedev({"run", "\\Windows\\ctlpnl.exe", "nonsense"});
  EXPECT_EQ(bad.exit_code, 1);
  ToolResult missing = Cedev({"run", "\\Windows\\nothing.exe"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_THAT(missing.err, HasSubstr("\\Windows\\nothing.exe"));
}

TEST_F(CedevScenario, RunPassesScriptedAnswersToMessageBoxes) {
  auto stub = scratch_.path() / "probe.exe";
  std::ofstream(stub) << "#!cedev-program msgbox_probe\n";
  ASSERT_EQ(Cedev({"put", stub.string(), "\\Windows\\probe.exe"}).exit_code, 0);
  ToolResult run = Cedev({"run", "--answer", "no,cancel", "\\Windows\\probe.exe"});
  EXPECT_THAT(run.out, HasSubstr("exit code 72"));  // IDNO 7, IDCANCEL 2
  ToolResult yes = Cedev({"run", "--answer", "yes,ok", "probe"});
  EXPECT_THAT(yes.out, HasSubstr("exit code 61"));
  EXPECT_THAT(Cedev({"events", "--kind", "msgbox"}).out, HasSubstr("Probe"));
}

TEST_F(CedevScenario, FaultsMakeOperationsFailUntilCleared) {
  ToolResult add = Cedev({"fault", "add", "file.open", "\\My Documents\\*", "ERROR_SHARING_VIOLATION"});
  ASSERT_EQ(add.exit_code, 0) << add.err;
  EXPECT_THAT(Cedev({"fault", "list"}).out, HasSubstr("file.open \\My Documents\\* ERROR_SHARING_VIOLATION (32)"));
  auto host = scratch_.path() / "x";
  ToolResult get = Cedev({"get", "\\My Documents\\new.txt", host.string()});
  EXPECT_EQ(get.exit_code, 1);
  EXPECT_THAT(get.err, HasSubstr("ERROR_SHARING_VIOLATION"));
  ASSERT_EQ(Cedev({"fault", "clear"}).exit_code, 0);
  EXPECT_EQ(Cedev({"get", "\\My Documents\\new.txt", host.string()}).exit_code, 0);
}

TEST_F(CedevScenario, SystemFilesAreHeldOpenSurviveARestoreAndAreListedInTheSettings) {
  ToolResult info = Cedev({"info"});
  EXPECT_THAT(info.out, HasSubstr("held open      \\pim.vol, \\cemail.vol, "));
  auto host = scratch_.path() / "x.bin";
  std::ofstream(host) << "x";
  ToolResult put = Cedev({"put", host.string(), "\\pim.vol"});
  EXPECT_EQ(put.exit_code, 1);
  EXPECT_THAT(put.err, HasSubstr("ERROR_SHARING_VIOLATION"));
  ToolResult get = Cedev({"get", "\\Windows\\Imjp31.dll", host.string()});
  EXPECT_EQ(get.exit_code, 1);
  EXPECT_THAT(get.err, HasSubstr("ERROR_SHARING_VIOLATION"));
  ASSERT_EQ(Cedev({"job", "backup"}).exit_code, 0);
  ToolResult restore = Cedev({"job", "restore"});
  ASSERT_EQ(restore.exit_code, 0) << restore.out;
  EXPECT_EQ(Cedev({"ls", "\\pim.vol"}).out, "pim.vol\n");
  EXPECT_EQ(Cedev({"ls", "\\Documents and Settings\\default\\user.hv"}).exit_code, 0);
  // A user releases one by editing device.json.
  std::string settings_path = device_ + "/device.json";
  std::ifstream in(settings_path);
  std::string settings((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string entry = "\"\\\\pim.vol\",";
  ASSERT_NE(settings.find(entry), std::string::npos) << settings;
  settings.erase(settings.find(entry), entry.size());
  std::ofstream(settings_path, std::ios::trunc) << settings;
  EXPECT_EQ(Cedev({"put", host.string(), "\\pim.vol"}).exit_code, 0);
  EXPECT_THAT(Cedev({"info"}).out, Not(HasSubstr("\\pim.vol")));
}

TEST_F(CedevScenario, ABackupKilledWhileReplacingTheArchiveLeavesAWholeOne) {
  ASSERT_EQ(Cedev({"job", "backup"}).exit_code, 0);
  auto first = scratch_.path() / "first.dat", after = scratch_.path() / "after.dat";
  ASSERT_EQ(Cedev({"get", "\\FlashDisk\\Backup\\Backup.dat", first.string()}).exit_code, 0);
  ASSERT_EQ(Cedev({"fault", "add", "file.delete", "\\FlashDisk\\Backup\\Backup.$$$", "KILL", "--count", "1"}).exit_code, 0);
  EXPECT_THAT(Cedev({"fault", "list"}).out, HasSubstr("file.delete \\FlashDisk\\Backup\\Backup.$$$ KILL 1 more"));
  ToolResult killed = Cedev({"job", "backup"});
  EXPECT_EQ(killed.exit_code, -1) << "cedev was not killed: " << killed.out;
  ASSERT_EQ(Cedev({"get", "\\FlashDisk\\Backup\\Backup.dat", after.string()}).exit_code, 0);
  std::ifstream a(first, std::ios::binary), b(after, std::ios::binary);
  std::string old_bytes((std::istreambuf_iterator<char>(a)), {}), now((std::istreambuf_iterator<char>(b)), {});
  EXPECT_GT(old_bytes.size(), 10000u);
  EXPECT_EQ(now, old_bytes);
  EXPECT_EQ(Cedev({"fault", "list"}).out, "");
  EXPECT_EQ(Cedev({"job", "backup"}).exit_code, 0);
  EXPECT_EQ(Cedev({"ls", "\\FlashDisk\\Backup"}).out, "Backup.dat\n");
}

TEST_F(CedevScenario, SetChangesSettingsAndRefusesBadValues) {
  ASSERT_EQ(Cedev({"set", "ac", "on"}).exit_code, 0);
  ASSERT_EQ(Cedev({"set", "platform", "Other"}).exit_code, 0);
  ASSERT_EQ(Cedev({"set", "keys", "5,0x0D"}).exit_code, 0);
  ToolResult info = Cedev({"info"});
  EXPECT_THAT(info.out, HasSubstr("AC on"));
  EXPECT_THAT(info.out, HasSubstr("platform type  Other"));
  EXPECT_THAT(info.out, HasSubstr("keys held      53,13"));
  ToolResult bad = Cedev({"set", "battery", "300"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_THAT(bad.err, HasSubstr("battery"));
  EXPECT_EQ(Cedev({"set", "no-such-key", "1"}).exit_code, 2);
}

TEST(CedevInit, TwoInitsMakeTheSameDevice) {
  ScratchFolder scratch;
  std::string a = (scratch.path() / "a").string(), b = (scratch.path() / "b").string();
  ASSERT_EQ(RunTool("cedev", {"init", a}).exit_code, 0);
  ASSERT_EQ(RunTool("cedev", {"init", b}).exit_code, 0);
  for (std::vector<std::string> query : {std::vector<std::string>{"reg", "export"}, {"db", "dump"},
                                         {"ls", "-l", "\\Windows"}, {"ls", "-l", "\\My Documents\\Business"}}) {
    std::vector<std::string> qa = {"-d", a}, qb = {"-d", b};
    qa.insert(qa.end(), query.begin(), query.end());
    qb.insert(qb.end(), query.begin(), query.end());
    ToolResult ra = RunTool("cedev", qa), rb = RunTool("cedev", qb);
    ASSERT_EQ(ra.exit_code, 0) << ra.err;
    EXPECT_FALSE(ra.out.empty());
    EXPECT_EQ(ra.out, rb.out) << query[0] << " " << query[1];
  }
  auto fa = scratch.path() / "fa", fb = scratch.path() / "fb";
  ASSERT_EQ(RunTool("cedev", {"-d", a, "get", "\\My Documents\\My Pictures\\shelf3.bmp", fa.string()}).exit_code, 0);
  ASSERT_EQ(RunTool("cedev", {"-d", b, "get", "\\My Documents\\My Pictures\\shelf3.bmp", fb.string()}).exit_code, 0);
  std::ifstream ia(fa, std::ios::binary), ib(fb, std::ios::binary);
  std::string da((std::istreambuf_iterator<char>(ia)), {}), db((std::istreambuf_iterator<char>(ib)), {});
  EXPECT_GT(da.size(), 10000u);
  EXPECT_EQ(da, db);
}

TEST(CedevUsage, HelpAndUsageErrors) {
  ToolResult help = RunTool("cedev", {"help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* command : {"init", "info", "ls", "get", "put", "reg", "db", "set", "reset", "boot", "run", "events",
                              "fault"}) {
    EXPECT_THAT(help.out, HasSubstr(std::string("  ") + command + " ")) << command;
    ToolResult one = RunTool("cedev", {command, "--help"});
    EXPECT_EQ(one.exit_code, 0) << command;
    EXPECT_THAT(one.out, HasSubstr(std::string("usage: cedev ") + command)) << command;
  }
  EXPECT_EQ(RunTool("cedev", {}).exit_code, 2);
  EXPECT_EQ(RunTool("cedev", {"frobnicate"}).exit_code, 2);
  EXPECT_EQ(RunTool("cedev", {"reset"}).exit_code, 2);
  EXPECT_EQ(RunTool("cedev", {"reg", "query", "HKXX\\Foo"}).exit_code, 2);
}

TEST(CedevUsage, CommandsOnAMissingDeviceNameTheFolder) {
  ScratchFolder scratch;
  std::string nowhere = (scratch.path() / "nowhere").string();
  ToolResult info = RunTool("cedev", {"-d", nowhere, "info"});
  EXPECT_EQ(info.exit_code, 1);
  EXPECT_THAT(info.err, HasSubstr(nowhere));
  ToolResult env = RunTool("cedev", {"info"}, {"CEDEV_DEVICE=" + nowhere});
  EXPECT_EQ(env.exit_code, 1);
  EXPECT_THAT(env.err, HasSubstr(nowhere));
}

}  // namespace
}  // namespace tlvtest

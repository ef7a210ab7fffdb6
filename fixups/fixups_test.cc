// The steps around a restore on a scratch device: staging folder, Startup
// folder, marker files, imager entries, and their order.
#include "fixups.h"

#include <gtest/gtest.h>

#include "data_test_util.h"
#include "device_control.h"
#include "fs_nodes.h"
#include "job_status.h"
#include "restore_sequence.h"
#include "scratch_device.h"

namespace {

const std::u16string kStartup = u"\\Windows\\StartUp";
const std::u16string kStaging = u"\\FlashDisk\\Startup_Restore";

struct RegData {
  DWORD type = 0;
  Bytes data;
};

bool QueryValue(const char16_t* key, const char16_t* name, RegData* out) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(h, name, nullptr, &out->type, nullptr, &size);
  out->data.assign(size, 0);
  if (rc == ERROR_SUCCESS) rc = RegQueryValueExW(h, name, nullptr, &out->type, out->data.data(), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

Bytes Utf16z(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s + u'\0') b.insert(b.end(), {uint8_t(c), uint8_t(c >> 8)});
  return b;
}

class FixupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
    ASSERT_TRUE(CreateDirectoryW(kStartup.c_str(), nullptr));
  }
  void TearDown() override { cedev::ClearFaults(); }
  void Put(const std::u16string& path, const std::string& text, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
    ASSERT_TRUE(WriteDeviceText(path, text)) << cedev::ToUtf8(path);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
  }
  void Stage() { ASSERT_TRUE(CreateDirectoryW(kStaging.c_str(), nullptr)); }
  void SetPlatform(const std::string& type) {
    ASSERT_TRUE(dev_.device().UpdateSettings([&](cedev::DeviceSettings& s) { s.platform_type = type; }));
  }
  cedev::ScratchDevice dev_;
};

// ---- Pre- and post-restore steps

TEST_F(FixupsTest, PreRestoreStepEmptiesAndRemovesTheStagingFolderDesktopIniIncluded) {
  Stage();
  Put(kStaging + u"\\old.lnk", "old");
  Put(kStaging + u"\\desktop.ini", "ini", FILE_ATTRIBUTE_READONLY);
  PreRestoreStep();
  EXPECT_FALSE(Exists(kStaging));
  PreRestoreStep();  // nothing there: harmless
}

TEST_F(FixupsTest, PostRestoreStepMovesStagedFilesWithTimesAndAttributes) {
  Put(kStartup + u"\\desktop.ini", "[keep]");
  Put(kStartup + u"\\old.lnk", "old", FILE_ATTRIBUTE_READONLY);
  Stage();
  Put(kStaging + u"\\app.lnk", "app");
  ASSERT_TRUE(SetTimes(kStaging + u"\\app.lnk", 0x01D0000011111111ull, 0x01D0000022222222ull, 0x01D0000033333333ull));
  ASSERT_TRUE(SetFileAttributesW((kStaging + u"\\app.lnk").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

  PostRestoreStep();
  std::map<std::u16string, EntryInfo> tree;
  DumpTree(kStartup, &tree);
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_EQ(Text(ReadDeviceFile(kStartup + u"\\desktop.ini")), "[keep]");
  const EntryInfo& app = tree[kStartup + u"\\app.lnk"];
  EXPECT_EQ(Text(app.data), "app");
  EXPECT_EQ(app.attributes, DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(app.creation, 0x01D0000011111111ull);
  EXPECT_EQ(app.access, 0x01D0000022222222ull);
  EXPECT_EQ(app.write, 0x01D0000033333333ull);
  EXPECT_FALSE(Exists(kStaging));
}

TEST_F(FixupsTest, StartupIsEmptiedEvenWhenNothingWasStaged) {
  Put(kStartup + u"\\desktop.ini", "[keep]");
  Put(kStartup + u"\\stale.lnk", "stale");
  PostRestoreStep();
  EXPECT_FALSE(Exists(kStartup + u"\\stale.lnk"));
  EXPECT_TRUE(Exists(kStartup + u"\\desktop.ini"));
}

TEST_F(FixupsTest, SubFolderInTheStagingFolderIsNotCopiedAndKeepsTheFolder) {
  Stage();
  ASSERT_TRUE(CreateDirectoryW((kStaging + u"\\Sub").c_str(), nullptr));
  Put(kStaging + u"\\a.lnk", "a");
  PostRestoreStep();
  EXPECT_EQ(Text(ReadDeviceFile(kStartup + u"\\a.lnk")), "a");
  EXPECT_FALSE(Exists(kStartup + u"\\Sub"));
  EXPECT_TRUE(Exists(kStaging + u"\\Sub"));
  EXPECT_FALSE(Exists(kStaging + u"\\a.lnk"));
}

TEST_F(FixupsTest, StagedFileThatCouldNotBeCopiedStaysInTheStagingFolder) {
  Stage();
  Put(kStaging + u"\\big.lnk", std::string(5000, 'b'));
  Put(kStaging + u"\\ok.lnk", "ok");
  ASSERT_TRUE(cedev::AddFault("file.write", kStartup + u"\\big.lnk", ERROR_DISK_FULL));
  PostRestoreStep();
  EXPECT_FALSE(Exists(kStartup + u"\\big.lnk"));  // no half file in the Startup folder
  EXPECT_EQ(Text(ReadDeviceFile(kStartup + u"\\ok.lnk")), "ok");
  EXPECT_EQ(ReadDeviceFile(kStaging + u"\\big.lnk")->size(), 5000u);
}

// ---- Clear folder

TEST_F(FixupsTest, ClearFolderDeletesReadOnlyFilesAndKeepsFolders) {
  Put(kStartup + u"\\ro.lnk", "ro", FILE_ATTRIBUTE_READONLY);
  Put(kStartup + u"\\Desktop.ini", "case matters");
  ASSERT_TRUE(CreateDirectoryW((kStartup + u"\\Folder").c_str(), nullptr));
  EXPECT_TRUE(ClearFolder(kStartup.c_str()));
  EXPECT_FALSE(Exists(kStartup + u"\\ro.lnk"));
  EXPECT_FALSE(Exists(kStartup + u"\\Desktop.ini"));
  EXPECT_TRUE(Exists(kStartup + u"\\Folder"));
}

TEST_F(FixupsTest, ClearFolderKeepsDesktopIniOnlyInTheStartupFolder) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Other", nullptr));
  Put(u"\\Other\\desktop.ini", "x");
  Put(kStartup + u"\\desktop.ini", "x");
  EXPECT_TRUE(ClearFolder(u"\\Other"));
  EXPECT_TRUE(ClearFolder(kStartup.c_str()));
  EXPECT_FALSE(Exists(u"\\Other\\desktop.ini"));
  EXPECT_TRUE(Exists(kStartup + u"\\desktop.ini"));
}

TEST_F(FixupsTest, ClearFolderStopsWithABoxAtAFileThatCannotBeDeleted) {
  Put(kStartup + u"\\a.lnk", "a");
  Put(kStartup + u"\\busy.lnk", "b");
  Put(kStartup + u"\\c.lnk", "c");
  ASSERT_TRUE(cedev::AddFault("file.delete", kStartup + u"\\busy.lnk", ERROR_SHARING_VIOLATION));
  BoxRecorder boxes;
  EXPECT_FALSE(ClearFolder(kStartup.c_str()));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, kStartup + u"\\busy.lnk");
  EXPECT_EQ(boxes.boxes[0].caption, kStartup + u"\\busy.lnk");
  EXPECT_EQ(boxes.boxes[0].type, DWORD(MB_OK));
  EXPECT_FALSE(Exists(kStartup + u"\\a.lnk"));
  EXPECT_TRUE(Exists(kStartup + u"\\c.lnk"));  // the clearing stopped there
}

TEST_F(FixupsTest, ClearFolderFailsWithoutAFolder) {
  EXPECT_FALSE(ClearFolder(nullptr));
  EXPECT_FALSE(ClearFolder(u""));
  EXPECT_FALSE(ClearFolder(u"\\Missing"));
}

// ---- Copy file

TEST_F(FixupsTest, CopyFileCopiesContentTimesAndAttributes) {
  std::string content(3000, 'q');
  content += "end";
  Put(u"\\src.bin", content, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_TRUE(SetFileAttributesW(u"\\src.bin", FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(SetTimes(u"\\src.bin", 0x01D0000000000001ull, 0x01D0000000000002ull, 0x01D0000000000003ull));
  ASSERT_TRUE(SetFileAttributesW(u"\\src.bin", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(CopyFileAndTimes(u"\\src.bin", u"\\dst.bin"));
  std::map<std::u16string, EntryInfo> tree;
  DumpTree(u"\\", &tree);
  EXPECT_EQ(Text(tree[u"\\dst.bin"].data), content);
  EXPECT_EQ(tree[u"\\dst.bin"].attributes, DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(tree[u"\\dst.bin"].creation, 0x01D0000000000001ull);
  EXPECT_EQ(tree[u"\\dst.bin"].write, 0x01D0000000000003ull);
}

TEST_F(FixupsTest, CopyFileFailsForMissingSourceOrFolders) {
  EXPECT_FALSE(CopyFileAndTimes(u"\\missing", u"\\dst"));
  EXPECT_FALSE(Exists(u"\\dst"));
  EXPECT_FALSE(CopyFileAndTimes(u"\\Windows", u"\\dst"));
  EXPECT_FALSE(CopyFolderEntries(nullptr, u"\\x"));
  EXPECT_FALSE(CopyFolderEntries(u"\\Windows", u""));
}

// ---- Success steps

TEST_F(FixupsTest, SuccessStepsLeaveThreeHiddenEmptyMarkers) {
  RestoreSuccessSteps();
  for (LPCWSTR marker : kRestartMarkerFiles) {
    DWORD attributes = GetFileAttributesW(marker);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << cedev::ToUtf8(marker);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << attributes;
    EXPECT_FALSE(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) << attributes;
    EXPECT_TRUE(ReadDeviceFile(marker)->empty());
  }
  // Run again over the existing markers: still there, still empty.
  Put(kRestartMarkerFiles[0], "filled");
  ASSERT_TRUE(SetFileAttributesW(kRestartMarkerFiles[0], FILE_ATTRIBUTE_HIDDEN));
  RestoreSuccessSteps();
  EXPECT_TRUE(ReadDeviceFile(kRestartMarkerFiles[0])->empty());
}

TEST_F(FixupsTest, ImagerEntriesAreWrittenOnTovak) {
  SetPlatform("Tovak");
  RestoreSuccessSteps();
  RegData v;
  ASSERT_TRUE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Prefix", &v));
  EXPECT_EQ(v.type, DWORD(REG_SZ));
  EXPECT_EQ(v.data, Utf16z(u"SCN"));
  EXPECT_EQ(v.data.size(), 8u);
  ASSERT_TRUE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Dll", &v));
  EXPECT_EQ(v.data, Utf16z(u"HHPScanDriver.dll"));
  EXPECT_EQ(v.data.size(), 36u);
  ASSERT_TRUE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Order", &v));
  EXPECT_EQ(v.type, DWORD(REG_DWORD));
  EXPECT_EQ(v.data, (Bytes{50, 0, 0, 0}));
  ASSERT_TRUE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Index", &v));
  EXPECT_EQ(v.data, (Bytes{1, 0, 0, 0}));
  ASSERT_TRUE(QueryValue(u"init", u"Launch80", &v));
  EXPECT_EQ(v.data, Utf16z(u"ModelSetup.exe"));
  EXPECT_EQ(v.data.size(), 30u);
  ASSERT_TRUE(QueryValue(u"init", u"Depend80", &v));
  EXPECT_EQ(v.type, DWORD(REG_BINARY));
  EXPECT_EQ(v.data, (Bytes{0x32, 0x00}));
}

TEST_F(FixupsTest, NoImagerEntriesOnOtherPlatforms) {
  SetPlatform("PocketPC");
  RestoreSuccessSteps();
  RegData v;
  EXPECT_FALSE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Prefix", &v));
  EXPECT_FALSE(QueryValue(u"init", u"Launch80", &v));
  EXPECT_TRUE(Exists(kRestartMarkerFiles[2]));
}

TEST_F(FixupsTest, ImagerEntriesStopSilentlyAtTheFirstRefusedWrite) {
  SetPlatform("Tovak");
  ASSERT_TRUE(cedev::AddFault("reg.set", u"HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Imager\\Dll", ERROR_ACCESS_DENIED));
  WriteImagerDriverEntries();
  RegData v;
  EXPECT_TRUE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Prefix", &v));
  EXPECT_FALSE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Order", &v));
  EXPECT_FALSE(QueryValue(u"init", u"Launch80", &v));
}

// ---- Order of a restore

struct OrderProbe {
  DWORD exitCode = 1;
  bool entersTree = true;
  bool stagingExistedAtWorker = true;
  int runs = 0;
};

DWORD ProbeWorker(void* context) {
  auto* probe = static_cast<OrderProbe*>(context);
  ++probe->runs;
  probe->stagingExistedAtWorker = Exists(kStaging);
  ClearJobStatus();  // as the runner does right before the worker
  if (!probe->entersTree) return probe->exitCode;  // stopped at the archive's header
  // What the data restore would do: enter the tree and stage a Startup file.
  NoteRestoreEnteredTree();
  CreateDirectoryW(kStaging.c_str(), nullptr);
  WriteDeviceText(kStaging + u"\\new.lnk", "new");
  return probe->exitCode;
}

TEST_F(FixupsTest, DataRestoreRunsPreWorkerPostThenSuccessSteps) {
  Stage();
  Put(kStaging + u"\\leftover.lnk", "left over from an earlier run");
  Put(kStartup + u"\\stale.lnk", "stale");
  OrderProbe probe;
  EXPECT_EQ(RunRestoreSequence(FALSE, ProbeWorker, &probe), 1u);
  EXPECT_EQ(probe.runs, 1);
  EXPECT_FALSE(probe.stagingExistedAtWorker);
  EXPECT_EQ(Text(ReadDeviceFile(kStartup + u"\\new.lnk")), "new");
  EXPECT_FALSE(Exists(kStartup + u"\\leftover.lnk"));
  EXPECT_FALSE(Exists(kStartup + u"\\stale.lnk"));
  EXPECT_FALSE(Exists(kStaging));
  EXPECT_TRUE(Exists(kRestartMarkerFiles[0]));
}

TEST_F(FixupsTest, FailedRestoreStillMovesStagedFilesButRunsNoSuccessStep) {
  OrderProbe probe;
  probe.exitCode = 0;
  EXPECT_EQ(RunRestoreSequence(FALSE, ProbeWorker, &probe), 0u);
  EXPECT_EQ(Text(ReadDeviceFile(kStartup + u"\\new.lnk")), "new");
  EXPECT_FALSE(Exists(kRestartMarkerFiles[0]));
  RegData v;
  EXPECT_FALSE(QueryValue(u"Drivers\\BuiltIn\\Imager", u"Prefix", &v));
}

TEST_F(FixupsTest, RestoreThatFailedBeforeTheTreeLeavesStartupAndStagingAlone) {
  Put(kStartup + u"\\desktop.ini", "[keep]");
  Put(kStartup + u"\\ScanWedge.lnk", "wedge");
  NoteRestoreEnteredTree();  // left over from an earlier restore: the runner's reset clears it
  OrderProbe probe;
  probe.exitCode = 0;
  probe.entersTree = false;
  EXPECT_EQ(RunRestoreSequence(FALSE, ProbeWorker, &probe), 0u);
  EXPECT_EQ(Text(ReadDeviceFile(kStartup + u"\\ScanWedge.lnk")), "wedge");
  EXPECT_TRUE(Exists(kStartup + u"\\desktop.ini"));
  EXPECT_FALSE(Exists(kRestartMarkerFiles[0]));

  // One that got into the tree and then failed still moves what it staged.
  probe.entersTree = true;
  EXPECT_EQ(RunRestoreSequence(FALSE, ProbeWorker, &probe), 0u);
  EXPECT_FALSE(Exists(kStartup + u"\\ScanWedge.lnk"));
  EXPECT_EQ(Text(ReadDeviceFile(kStartup + u"\\new.lnk")), "new");
}

TEST_F(FixupsTest, RegistryOnlyRestoreLeavesStagingAndStartupAlone) {
  Stage();
  Put(kStaging + u"\\held.lnk", "held");
  Put(kStartup + u"\\app.lnk", "app");
  OrderProbe probe;
  EXPECT_EQ(RunRestoreSequence(TRUE, [](void* c) { return static_cast<OrderProbe*>(c)->exitCode; }, &probe), 1u);
  EXPECT_TRUE(Exists(kStaging + u"\\held.lnk"));
  EXPECT_TRUE(Exists(kStartup + u"\\app.lnk"));
  EXPECT_TRUE(Exists(kRestartMarkerFiles[1]));
}

}  // namespace

// The exclusion rules: the table row by row (as pure decisions and through
// a real walk of the device), ROM files per platform, mounted storage.
#include "exclusion_rules.h"

#include <gtest/gtest.h>

#include <set>

#include "data_nodes.h"
#include "data_test_util.h"
#include "device_control.h"
#include "scratch_device.h"

namespace {

std::u16string FolderOf(LPCWSTR pattern) {
  std::u16string p = pattern;
  return p.substr(0, p.size() - 4);  // drop "\*.*"
}

// Creates every folder along `path` (a device path of a folder).
void MakeFolders(const std::u16string& path) {
  for (size_t at = path.find(u'\\', 1); ; at = path.find(u'\\', at + 1)) {
    std::u16string prefix = at == std::u16string::npos ? path : path.substr(0, at);
    if (!prefix.empty() && !Exists(prefix)) {
      ASSERT_TRUE(CreateDirectoryW(prefix.c_str(), nullptr)) << cedev::ToUtf8(prefix);
    }
    if (at == std::u16string::npos) break;
  }
}

std::u16string Upper(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
  return s;
}

TEST(ExclusionTable, HoldsFiftyTwoNamedRowsAndFiveWholeFolderRows) {
  DWORD count = 0;
  const MExclusionRule* rules = ExclusionRules(&count);
  int named = 0, whole = 0;
  for (DWORD i = 0; i < count; ++i) (rules[i].fileName ? named : whole)++;
  EXPECT_EQ(named, 52);
  EXPECT_EQ(whole, 5);
  RomAllowList(&count);
  EXPECT_EQ(count, 2u);
}

// The table as written out here, row by row, not derived from the table
// itself: a mistyped name or folder in the table fails this.
TEST(ExclusionTable, HoldsExactlyTheseRows) {
  struct Row {
    const char16_t* folderPattern;
    const char16_t* fileName;  // null: every file of the folder
  };
  const Row kExpected[] = {
      {u"\\*.*", u"mxip_notify.vol"},
      {u"\\*.*", u"mxip_system.vol"},
      {u"\\*.*", u"mxip_lang.vol"},
      {u"\\*.*", u"cemail.vol"},
      {u"\\*.*", u"pim.vol"},
      {u"\\*.*", u"mxip_initdb.vol"},
      {u"\\*.*", u"mxip_swmgmt.vol"},
      {u"\\*.*", u"WindowsLiveLog.bin"},
      {u"\\Windows\\*.*", u"compimeh.0409.dat"},
      {u"\\Windows\\*.*", u"compimeh.0407.dat"},
      {u"\\Windows\\*.*", u"Voiplog.txt"},
      {u"\\Windows\\*.*", u"SS_Log.log"},
      {u"\\Windows\\*.*", u"njuserl.a"},
      {u"\\Windows\\*.*", u"njuserw.a"},
      {u"\\Windows\\*.*", u"njubase1_ext.a"},
      {u"\\Windows\\*.*", u"njubase2_ext.a"},
      {u"\\Windows\\*.*", u"Imjp31.dll"},
      {u"\\Windows\\*.*", u"Imjp31c.dll"},
      {u"\\Windows\\*.*", u"Imjp31dx.exe"},
      {u"\\Windows\\*.*", u"Imjp31k.dll"},
      {u"\\Windows\\*.*", u"Imjp31m.exe"},
      {u"\\Windows\\*.*", u"Imjp31s.dic"},
      {u"\\Windows\\*.*", u"Imjp31s.grm"},
      {u"\\Windows\\*.*", u"Imjp31u.dll"},
      {u"\\Windows\\*.*", u"Imjp31u.dic"},
      {u"\\Windows\\*.*", u"Imjp31ux.exe"},
      {u"\\Windows\\*.*", u"Imjp31lm.dat"},
      {u"\\Windows\\*.*", u"custom.dic"},
      {u"\\Windows\\*.*", u"mssp2.lex"},
      {u"\\Windows\\*.*", u"cespell.dll"},
      {u"\\Windows\\*.*", u"ApplicationLog.xml"},
      {u"\\Windows\\*.*", u"SystemLog.xml"},
      {u"\\Windows\\*.*", u"ReplStoreVol"},
      {u"\\Windows\\www\\*.*", u"current-httpd.log"},
      {u"\\Windows\\Activesync\\*.*", u"GCounterFile.mmf"},
      {u"\\Windows\\System\\SQM\\Sessions\\*.*", u"Global"},
      {u"\\Windows\\System\\SQM\\Sessions\\*.*", u"PMWeek"},
      {u"\\Windows\\System\\SQM\\Sessions\\*.*", u"BiWeekly"},
      {u"\\Windows\\Profiles\\guest\\Temporary Internet Files\\Content.IE5\\*.*", u"index.dat"},
      {u"\\Windows\\Profiles\\guest\\Cookies\\*.*", u"index.dat"},
      {u"\\Windows\\Profiles\\guest\\History\\History.IE5\\*.*", u"index.dat"},
      {u"\\Windows\\Temp\\Internet Explorer\\*.*", nullptr},
      {u"\\Documents and Settings\\*.*", u"system.hv"},
      {u"\\Documents and Settings\\*.*", u"default.hv"},
      {u"\\Documents and Settings\\*.*", u"default.vol"},
      {u"\\Documents and Settings\\default\\*.*", u"user.hv"},
      {u"\\Documents and Settings\\default\\*.*", u"recycle.bin"},
      {u"\\Documents and Settings\\default\\Recycled\\*.*", nullptr},
      {u"\\Application Data\\Windows Live\\*.*", u"WindowsLive.vol"},
      {u"\\Application Data\\Volatile\\*.*", nullptr},
      {u"\\Application Data\\Microsoft\\My Phone\\*.*", u"Schedule.dat"},
      {u"\\Application Data\\Microsoft\\Media Player\\*.*", u"xmemedialibrary.mlb"},
      {u"\\Program Files\\Widgets\\*.*", nullptr},
      {u"\\Ramdisk\\*.*", nullptr},
      {u"\\SystemDisk\\*.*", u"NK.bin"},
      {u"\\FlashDisk\\Backup\\*.*", u"Backup.dat"},
      {u"\\FlashDisk\\Backup\\*.*", u"Backup.$$$"},
  };
  auto key = [](const char16_t* folder, const char16_t* name) {
    return std::u16string(folder) + u"|" + (name ? std::u16string(name) : u"<every file>");
  };
  std::multiset<std::u16string> expected, actual;
  for (const Row& row : kExpected) expected.insert(key(row.folderPattern, row.fileName));
  DWORD count = 0;
  const MExclusionRule* rules = ExclusionRules(&count);
  for (DWORD i = 0; i < count; ++i) actual.insert(key(rules[i].folderPattern, rules[i].fileName));
  EXPECT_EQ(count, 57u);
  for (const auto& row : expected) EXPECT_EQ(actual.count(row), 1u) << "missing: " << cedev::ToUtf8(row);
  for (const auto& row : actual) EXPECT_EQ(expected.count(row), 1u) << "not expected: " << cedev::ToUtf8(row);
  DWORD romCount = 0;
  const MExclusionRule* rom = RomAllowList(&romCount);
  ASSERT_EQ(romCount, 2u);
  EXPECT_EQ(key(rom[0].folderPattern, rom[0].fileName), u"\\Windows\\*.*|ModelSetup.exe");
  EXPECT_EQ(key(rom[1].folderPattern, rom[1].fileName), u"\\Windows\\*.*|ModelSetup.ini");
}

TEST(ExclusionTable, EveryRowMatchesItsOwnPairIgnoringCaseAndNothingNearby) {
  DWORD count = 0;
  const MExclusionRule* rules = ExclusionRules(&count);
  for (DWORD i = 0; i < count; ++i) {
    const MExclusionRule& r = rules[i];
    std::u16string name = r.fileName ? r.fileName : u"anything.bin";
    SCOPED_TRACE(cedev::ToUtf8(std::u16string(r.folderPattern) + u" " + name));
    EXPECT_TRUE(IsExcludedFile(r.folderPattern, name.c_str()));
    EXPECT_TRUE(IsExcludedFile(Upper(r.folderPattern).c_str(), Upper(name).c_str()));
    // Whole strings only: no prefix, suffix or wildcard matching.
    EXPECT_FALSE(IsExcludedFile(r.folderPattern, (name + u"x").c_str()) && r.fileName);
    EXPECT_FALSE(IsExcludedFile((FolderOf(r.folderPattern) + u"\\Sub\\*.*").c_str(), name.c_str()));
    EXPECT_FALSE(IsExcludedFile(FolderOf(r.folderPattern).c_str(), name.c_str()));
  }
}

TEST(ExclusionTable, RootVolumeRowsApplyOnlyInTheRoot) {
  EXPECT_TRUE(IsExcludedFile(u"\\*.*", u"PIM.VOL"));
  EXPECT_FALSE(IsExcludedFile(u"\\Windows\\*.*", u"pim.vol"));
  EXPECT_FALSE(IsExcludedFile(u"\\*.*", u"*.*"));
  EXPECT_FALSE(IsExcludedFile(nullptr, u"pim.vol"));
}

class ExclusionDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { InitDataNodes(); }
  void SetPlatform(const std::string& type) {
    ASSERT_TRUE(dev_.device().UpdateSettings([&](cedev::DeviceSettings& s) { s.platform_type = type; }));
  }
  void MarkInRom(const std::u16string& path) {
    cedev::FileMetaRecord record;
    ASSERT_TRUE(cedev::GetFileMetaRecord(dev_.device(), path, &record));
    record.attributes |= FILE_ATTRIBUTE_INROM;
    ASSERT_TRUE(cedev::SetFileMetaRecord(dev_.device(), path, record));
  }
  // FlashDisk is a plain folder of the object store here, so the rows of
  // "\FlashDisk\Backup" act; Storage Card is the mounted volume.
  static cedev::DeviceSettings Settings() {
    cedev::DeviceSettings s = cedev::ScratchDevice::DefaultSettings();
    s.volumes = {{"Storage Card", 0}};
    return s;
  }
  cedev::ScratchDevice dev_{Settings()};
};

TEST_F(ExclusionDeviceTest, EveryRowKeepsItsFileOutOfARealBackupAndLetsNeighboursIn) {
  DWORD count = 0;
  const MExclusionRule* rules = ExclusionRules(&count);
  std::set<std::u16string> skipped, kept;
  for (DWORD i = 0; i < count; ++i) {
    std::u16string folder = FolderOf(rules[i].folderPattern);
    if (!folder.empty()) MakeFolders(folder);
    std::u16string name = rules[i].fileName ? rules[i].fileName : u"any" + std::u16string(1, char16_t(u'a' + i % 26));
    ASSERT_TRUE(WriteDeviceText(folder + u"\\" + Upper(name), "x"));
    skipped.insert(folder + u"\\" + Upper(name));
    if (!rules[i].fileName) continue;  // every file there is skipped
    ASSERT_TRUE(WriteDeviceText(folder + u"\\neighbour.txt", "n"));
    kept.insert(folder + u"\\neighbour.txt");
  }
  // A whole-folder row stops only the files directly inside: sub-folders are walked.
  MakeFolders(u"\\Windows\\Temp\\Internet Explorer\\Cache");
  ASSERT_TRUE(WriteDeviceText(u"\\Windows\\Temp\\Internet Explorer\\Cache\\page.htm", "p"));
  kept.insert(u"\\Windows\\Temp\\Internet Explorer\\Cache\\page.htm");

  BOOL ok = FALSE;
  auto tree = ArchivedTree(BackupFileTree(&ok));
  ASSERT_TRUE(ok);
  std::set<std::u16string> archivedLower;
  for (const auto& [path, file] : tree) archivedLower.insert(cedev::Fold(path));
  for (const auto& path : skipped) EXPECT_FALSE(archivedLower.count(cedev::Fold(path))) << cedev::ToUtf8(path);
  for (const auto& path : kept) EXPECT_TRUE(archivedLower.count(cedev::Fold(path))) << cedev::ToUtf8(path);
}

TEST_F(ExclusionDeviceTest, RomFilesAreSkippedButTheSetupFilesOnTovak) {
  MakeFolders(u"\\Windows");
  for (const char16_t* name : {u"ModelSetup.exe", u"ModelSetup.ini", u"shell.dll"}) {
    std::u16string path = std::u16string(u"\\Windows\\") + name;
    ASSERT_TRUE(WriteDeviceText(path, "rom"));
    MarkInRom(path);
  }
  MakeFolders(u"\\Other");
  ASSERT_TRUE(WriteDeviceText(u"\\Other\\ModelSetup.exe", "rom elsewhere"));
  MarkInRom(u"\\Other\\ModelSetup.exe");

  SetPlatform("Tovak");
  EXPECT_TRUE(IsTovakPlatform());
  auto tovak = ArchivedTree(BackupFileTree());
  EXPECT_TRUE(tovak.count(u"\\Windows\\ModelSetup.exe"));
  EXPECT_TRUE(tovak.count(u"\\Windows\\ModelSetup.ini"));
  EXPECT_FALSE(tovak.count(u"\\Windows\\shell.dll"));
  EXPECT_FALSE(tovak.count(u"\\Other\\ModelSetup.exe"));

  for (const char* other : {"Tovak2", "tovak", "PocketPC"}) {
    SetPlatform(other);
    EXPECT_FALSE(IsTovakPlatform()) << other;
    auto tree = ArchivedTree(BackupFileTree());
    EXPECT_FALSE(tree.count(u"\\Windows\\ModelSetup.exe")) << other;
    EXPECT_FALSE(tree.count(u"\\Windows\\shell.dll")) << other;
  }
}

TEST_F(ExclusionDeviceTest, PlainSetupFileIsSavedOnEveryPlatform) {
  MakeFolders(u"\\Windows");
  ASSERT_TRUE(WriteDeviceText(u"\\Windows\\ModelSetup.exe", "ram"));
  SetPlatform("PocketPC");
  EXPECT_TRUE(ArchivedTree(BackupFileTree()).count(u"\\Windows\\ModelSetup.exe"));
}

TEST_F(ExclusionDeviceTest, MountedVolumeAtTheRootIsSkippedWithEverythingInIt) {
  ASSERT_TRUE(WriteDeviceText(u"\\Storage Card\\photo.jpg", "jpg"));
  EXPECT_TRUE(IsMountedStorage(u"\\Storage Card"));
  EXPECT_TRUE(IsMountedStorage(u"\\STORAGE CARD"));
  EXPECT_FALSE(IsMountedStorage(u"\\FlashDisk"));
  EXPECT_FALSE(IsMountedStorage(u"\\Windows"));
  EXPECT_FALSE(IsMountedStorage(u"\\Storage Card\\Sub"));
  auto tree = ArchivedTree(BackupFileTree());
  for (const auto& [path, file] : tree) {
    EXPECT_NE(path.rfind(u"\\Storage Card", 0), 0u) << cedev::ToUtf8(path);
  }
}

TEST_F(ExclusionDeviceTest, FolderWithTheSameBitsDeeperDownIsWalked) {
  MakeFolders(u"\\Data\\Card");
  ASSERT_TRUE(WriteDeviceText(u"\\Data\\Card\\inside.txt", "i"));
  cedev::FileMetaRecord record;
  ASSERT_TRUE(cedev::GetFileMetaRecord(dev_.device(), u"\\Data\\Card", &record));
  record.attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  ASSERT_TRUE(cedev::SetFileMetaRecord(dev_.device(), u"\\Data\\Card", record));
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(u"\\Data\\*.*", &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  EXPECT_TRUE(IsMountedAttributes(found.dwFileAttributes));
  EXPECT_TRUE(ArchivedTree(BackupFileTree()).count(u"\\Data\\Card\\inside.txt"));
}

TEST_F(ExclusionDeviceTest, MountedStoreFolderAtTheRootIsSkipped) {
  MakeFolders(u"\\Ramdisk");
  ASSERT_TRUE(WriteDeviceText(u"\\Ramdisk\\scratch.txt", "r"));
  ASSERT_TRUE(dev_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.mounted_folders = {"Ramdisk"}; }));
  EXPECT_TRUE(IsMountedStorage(u"\\Ramdisk"));
  auto tree = ArchivedTree(BackupFileTree());
  EXPECT_FALSE(tree.count(u"\\Ramdisk\\"));
  EXPECT_FALSE(tree.count(u"\\Ramdisk\\scratch.txt"));
}

TEST_F(ExclusionDeviceTest, PlatformCallFailureMeansNotTovak) {
  SetPlatform("");
  EXPECT_FALSE(IsTovakPlatform());
  SetPlatform(std::string(200, 'T'));  // longer than the 100 bytes offered
  EXPECT_FALSE(IsTovakPlatform());
}

}  // namespace

// What the tool settles at start-up: the storage folder, the language of its
// texts, and whether "RestoreFlag" is there.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "device_control.h"
#include "restore_flag.h"
#include "scratch_device.h"
#include "tool_paths.h"
#include "tool_texts.h"

namespace {

cedev::DeviceSettings WithVolumes(std::vector<std::string> names) {
  cedev::DeviceSettings s = cedev::ScratchDevice::DefaultSettings();
  s.volumes.clear();
  for (auto& name : names) s.volumes.push_back({name, 0});
  return s;
}

std::u16string StorageOf(const cedev::DeviceSettings& settings) {
  cedev::ScratchDevice device(settings);
  WCHAR name[MAX_PATH];
  for (WCHAR& c : name) c = u'#';
  if (!FindStorageFolder(name)) return u"<none>";
  return name;
}

// ---- Storage folder

TEST(ToolStart, TheStorageIsTheFirstMountedFolderWhoseNameBeginsWithFlashDisk) {
  EXPECT_EQ(StorageOf(WithVolumes({"Storage Card", "FlashDisk"})), u"FlashDisk");
  EXPECT_EQ(StorageOf(WithVolumes({"Storage Card", "FlashDisk2"})), u"FlashDisk2");
  // Folders are listed by name: "FlashDisk A" comes before "FlashDisk B".
  EXPECT_EQ(StorageOf(WithVolumes({"FlashDisk B", "FlashDisk A"})), u"FlashDisk A");
}

TEST(ToolStart, NoStorageWithoutAMountedFolderOfThatExactPrefix) {
  EXPECT_EQ(StorageOf(WithVolumes({"Storage Card"})), u"<none>");
  EXPECT_EQ(StorageOf(WithVolumes({"flashdisk"})), u"<none>") << "the prefix is compared case-sensitively";
  EXPECT_EQ(StorageOf(WithVolumes({"FlashDis"})), u"<none>");
  // An ordinary folder of that name is not storage; a mounted one is.
  cedev::DeviceSettings plain = WithVolumes({"Storage Card"});
  {
    cedev::ScratchDevice device(plain);
    ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk", nullptr));
    WCHAR name[MAX_PATH];
    EXPECT_FALSE(FindStorageFolder(name));
  }
  cedev::DeviceSettings mounted = WithVolumes({});
  mounted.mounted_folders = {"FlashDisk"};
  {
    cedev::ScratchDevice device(mounted);
    ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk", nullptr));
    WCHAR name[MAX_PATH];
    ASSERT_TRUE(FindStorageFolder(name));
    EXPECT_EQ(std::u16string(name), u"FlashDisk");
  }
}

TEST(ToolStart, ToolPathsAreFormedWithTheStorageName) {
  WCHAR path[kToolPathUnits];
  FormatArmPath(path, u"FlashDisk", u"Restore.exe");
  EXPECT_EQ(std::u16string(path), u"\\FlashDisk\\CE\\ARM\\Restore.exe");
  FormatArmFolder(path, u"FlashDisk2");
  EXPECT_EQ(std::u16string(path), u"\\FlashDisk2\\CE\\ARM");
  FormatStorageRootPath(path, u"FlashDisk", u"Calibrate.dat");
  EXPECT_EQ(std::u16string(path), u"\\FlashDisk\\Calibrate.dat");
  // The longest storage name a folder listing can give still fits.
  std::u16string longest = u"FlashDisk" + std::u16string(250, u'x');
  FormatArmPath(path, longest.c_str(), u"tolvane.exe");
  EXPECT_EQ(std::u16string(path), u"\\" + longest + u"\\CE\\ARM\\tolvane.exe");
}

TEST(ToolStart, PathsAndTheSilentSwitchCompareWithoutRegardToCase) {
  EXPECT_TRUE(EqualIgnoringCase(u"\\flashdisk\\ce\\arm\\RESTORE.EXE", u"\\FlashDisk\\CE\\ARM\\Restore.exe"));
  EXPECT_TRUE(EqualIgnoringCase(u"/s", u"/S"));
  EXPECT_FALSE(EqualIgnoringCase(u"/S ", u"/S"));
  EXPECT_FALSE(EqualIgnoringCase(u"\\FlashDisk\\CE\\ARM\\Restore.exe.bak", u"\\FlashDisk\\CE\\ARM\\Restore.exe"));
}

// ---- Language

TEST(ToolStart, TheUiLanguageChoosesTheColumnOfTexts) {
  cedev::ScratchDevice device;
  struct Case {
    uint16_t language;
    int column;
  };
  for (Case c : {Case{0x0411, kLanguageJapanese}, Case{0x0409, kLanguageEnglish}, Case{0x0407, kLanguageEnglish}}) {
    ASSERT_TRUE(device.device().UpdateSettings([&](cedev::DeviceSettings& s) { s.ui_language = c.language; }));
    EXPECT_EQ(ChooseLanguage(), c.column) << std::hex << c.language;
  }
  EXPECT_EQ(GetModuleHandleW(u"CoreDll.dll"), GetModuleHandleW(u"coredll")) << "still loaded by the program itself";
}

TEST(ToolStart, BothColumnsHoldEveryText) {
  const ToolTexts& english = TextsFor(kLanguageEnglish);
  const ToolTexts& japanese = TextsFor(kLanguageJapanese);
  EXPECT_EQ(std::u16string(english.restoreFailed), u"Restore failed. Please retry after full reset.");
  EXPECT_EQ(std::u16string(japanese.backupCaption), u"バックアップ");
  EXPECT_EQ(std::u16string(japanese.dateTimeDialog), u"日付/時刻のプロパティ");
  // The main program's title is the same in both: it is what the watcher looks for.
  EXPECT_EQ(std::u16string(english.mainProgramTitle), std::u16string(japanese.mainProgramTitle));
  EXPECT_EQ(&TextsFor(7), &english);
}

// ---- RestoreFlag

class RestoreFlag : public ::testing::Test {
 protected:
  void TearDown() override { cedev::ClearFaults(); }
  static void SetFlag(DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Velta\\UTIL\\RESTORE", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, u"RestoreFlag", 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  cedev::ScratchDevice device_;
};

TEST_F(RestoreFlag, OnlyWhetherTheValueCanBeReadCounts) {
  EXPECT_FALSE(RestoreFlagPresent());
  DWORD zero = 0;
  SetFlag(REG_DWORD, &zero, 4);
  EXPECT_TRUE(RestoreFlagPresent()) << "the number is not looked at";
  SetFlag(REG_BINARY, "ab", 2);
  EXPECT_TRUE(RestoreFlagPresent()) << "nor the type";
  ASSERT_TRUE(cedev::AddFault("reg.query", u"HKEY_LOCAL_MACHINE\\Drivers\\Velta\\UTIL\\RESTORE\\RestoreFlag",
                              ERROR_READ_FAULT, 1));
  EXPECT_FALSE(RestoreFlagPresent());
}

TEST_F(RestoreFlag, WritingCreatesTheKeyAndSetsTheDwordOne) {
  ASSERT_TRUE(WriteRestoreFlag());
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Velta\\UTIL\\RESTORE", 0, 0, &key), ERROR_SUCCESS);
  DWORD type = 0, value = 0xDEAD, bytes = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"RestoreFlag", nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(bytes, 4u);
  DeleteRestoreKey();
  EXPECT_FALSE(RestoreFlagPresent());
}

TEST_F(RestoreFlag, ARefusedWriteIsReported) {
  ASSERT_TRUE(cedev::AddFault("reg.set", u"HKEY_LOCAL_MACHINE\\Drivers\\Velta\\UTIL\\RESTORE\\RestoreFlag",
                              ERROR_ACCESS_DENIED, 1));
  EXPECT_FALSE(WriteRestoreFlag());
  EXPECT_FALSE(RestoreFlagPresent());
  ASSERT_TRUE(cedev::AddFault("reg.create", u"HKEY_LOCAL_MACHINE\\Drivers\\Velta\\UTIL\\RESTORE", ERROR_ACCESS_DENIED,
                              1));
  EXPECT_FALSE(WriteRestoreFlag());
}

}  // namespace

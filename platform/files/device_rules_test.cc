// Rules of the device's file system: path forms, confinement, symbolic
// links, names without regard to case, ROM files, quotas, capacity, faults
// and the host-side helpers of the device tools.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ce/file.h"
#include "ce/handle.h"
#include "ce/registry.h"
#include "device_path.h"
#include "faults.h"
#include "file_meta.h"
#include "file_service.h"
#include "api_expect.h"
#include "other_program.h"
#include "scratch_device.h"
#include "space.h"
#include "wstr.h"

namespace cedev {
namespace {

namespace fs = std::filesystem;
HANDLE Open(const char16_t* path, DWORD access, DWORD disposition) {
  return CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition, 0, nullptr);
}

bool Put(const char16_t* path, const std::string& bytes) {
  HANDLE h = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
  return ok;
}

std::string Get(const char16_t* path) {
  HANDLE h = Open(path, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return "<cannot open>";
  std::string bytes(4096, '\0');
  DWORD n = 0;
  if (!ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr)) n = 0;
  CloseHandle(h);
  bytes.resize(n);
  return bytes;
}

class PathRulesTest : public ::testing::Test {
 protected:
  ScratchDevice dev_;
};

TEST_F(PathRulesTest, PathsWithoutALeadingSeparatorStartAtTheRoot) {
  ASSERT_TRUE(CreateDirectoryW(u"FlashDisk\\Backup", nullptr));
  EXPECT_TRUE(fs::is_directory(dev_.dir() / "volumes/FlashDisk/Backup"));
  EXPECT_TRUE(Put(u"FlashDisk/Backup/Backup.dat", "archive"));
  EXPECT_TRUE(fs::exists(dev_.dir() / "volumes/FlashDisk/Backup/Backup.dat"));
  EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk\\Backup\\Backup.dat"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk\\Backup\\"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(PathRulesTest, BadNamesAreInvalid) {
  const char16_t* bad[] = {u"\\..\\outside", u"\\a\\..\\..\\escaped-by-dots", u"..", u"\\a\\\\b", u"\\\\x", u"\\a\\.\\b",
                           u"\\a<b", u"\\a>b", u"\\a:b", u"\\a\"b", u"\\a|b", u"\\a\x01" u"b", u"\\a\tb",
                           u"\\a*b", u"\\a?b", u"\\x*\\y"};
  for (const char16_t* path : bad) {
    EXPECT_FAILS_WITH(Open(path, GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    EXPECT_FAILS_WITH(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME);
    EXPECT_FAILS_WITH(CreateDirectoryW(path, nullptr), FALSE, ERROR_INVALID_NAME);
    EXPECT_FAILS_WITH(DeleteFileW(path), FALSE, ERROR_INVALID_NAME);
    EXPECT_FAILS_WITH(MoveFileW(u"\\FlashDisk", path), FALSE, ERROR_INVALID_NAME);
  }
  // Nothing escaped next to the device folder.
  EXPECT_FALSE(fs::exists(dev_.dir() / "outside"));
  EXPECT_FALSE(fs::exists(dev_.dir().parent_path() / "escaped-by-dots"));
}

TEST_F(PathRulesTest, PathsOverTwoHundredFiftyNineUnitsAreInvalid) {
  std::u16string path;
  while (path.size() < 250) path += u"\\abcdefgh";
  ASSERT_TRUE(CreateDirectoryW(u"\\abcdefgh", nullptr));
  std::u16string at_limit = path.substr(0, 250) + u"x";  // folders on the way do not exist
  while (at_limit.size() < kMaxDevicePath) at_limit += u"y";
  EXPECT_FAILS_WITH(GetFileAttributesW(at_limit.c_str()), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND);
  std::u16string over = at_limit + u"z";
  EXPECT_FAILS_WITH(GetFileAttributesW(over.c_str()), INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME);
  EXPECT_FAILS_WITH(Open(over.c_str(), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
}

TEST_F(PathRulesTest, SymbolicLinksAreNeverFollowedOutOfTheDevice) {
  fs::path outside = dev_.dir() / "outside";
  fs::create_directory(outside);
  { std::ofstream(outside / "secret.txt") << "host secret"; }
  fs::create_directory_symlink(outside, dev_.dir() / "store/escape");
  fs::create_symlink(outside / "secret.txt", dev_.dir() / "store/secret-link.txt");
  fs::create_directory_symlink("../../outside", dev_.dir() / "volumes/FlashDisk/up");

  EXPECT_FAILS_WITH(Open(u"\\escape\\secret.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
  EXPECT_FAILS_WITH(Open(u"\\secret-link.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\up\\new.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE,
                    ERROR_INVALID_NAME);
  EXPECT_FAILS_WITH(GetFileAttributesW(u"\\ESCAPE"), INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\secret-link.txt"), FALSE, ERROR_INVALID_NAME);
  WIN32_FIND_DATAW fd;
  EXPECT_FAILS_WITH(FindFirstFileW(u"\\escape\\*", &fd), INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
  // Listings leave links out.
  HANDLE f = FindFirstFileW(u"\\*", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  do {
    EXPECT_NE(std::u16string(fd.cFileName), u"escape");
    EXPECT_NE(std::u16string(fd.cFileName), u"secret-link.txt");
  } while (FindNextFileW(f, &fd));
  FindClose(f);
  EXPECT_FALSE(fs::exists(outside / "new.txt"));
  EXPECT_TRUE(fs::exists(outside / "secret.txt"));
}

TEST_F(PathRulesTest, NamesMatchWithoutRegardToCaseAndKeepTheirCase) {
  ASSERT_TRUE(CreateDirectoryW(u"\\My Documents", nullptr));
  ASSERT_TRUE(Put(u"\\My Documents\\Letter.TXT", "dear"));
  ASSERT_TRUE(Put(u"\\\uFF21\uFF22.txt", "full width"));
  EXPECT_TRUE(fs::exists(dev_.dir() / "store/My Documents/Letter.TXT"));
  HANDLE h = Open(u"\\MY DOCUMENTS\\letter.txt", GENERIC_WRITE, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"\\\uFF41\uFF42.TXT"), FILE_ATTRIBUTE_ARCHIVE);
  // OPEN_ALWAYS found the existing file rather than making a second one.
  size_t count = 0;
  for (auto& e : fs::directory_iterator(dev_.dir() / "store/My Documents")) count += e.is_regular_file();
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(fs::exists(dev_.dir() / "store/My Documents/Letter.TXT"));
  EXPECT_TRUE(Put(u"\\my documents\\LETTER.txt", "replaced"));
  EXPECT_TRUE(fs::exists(dev_.dir() / "store/My Documents/Letter.TXT"));
}

TEST_F(PathRulesTest, APathOfExactCaseCostsNoFolderScan) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
  ASSERT_TRUE(Put(u"\\Windows\\tolvane.exe", "program"));
  uint64_t before = FolderScanCount();
  HANDLE h = Open(u"\\Windows\\tolvane.exe", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
  EXPECT_EQ(FolderScanCount(), before);
  h = Open(u"\\WINDOWS\\tolvane.exe", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(FolderScanCount(), before + 1);
}

// Large folders answer case-insensitive lookups from remembered names; those
// must still see names made since, by this program or from outside.
TEST_F(PathRulesTest, LargeFoldersStillMatchNamesWithoutRegardToCase) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Big", nullptr));
  for (int i = 0; i < 600; ++i) {
    std::u16string name = u"\\Big\\File" + FromUtf8(std::to_string(i)) + u".txt";
    ASSERT_TRUE(Put(name.c_str(), "x"));
  }
  EXPECT_EQ(GetFileAttributesW(u"\\BIG\\FILE599.TXT"), FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(Put(u"\\Big\\Late.txt", "new"));
  EXPECT_FAILS_WITH(CreateFileW(u"\\Big\\LATE.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE, ERROR_FILE_EXISTS);
  std::ofstream(dev_.dir() / "store/Big/HostMade.txt") << "from a PC";
  EXPECT_NE(GetFileAttributesW(u"\\Big\\hostmade.TXT"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(DeleteFileW(u"\\Big\\late.txt"));
  EXPECT_EQ(GetFileAttributesW(u"\\Big\\Late.txt"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(Put(u"\\Big\\LATE.txt", "again"));
  EXPECT_TRUE(fs::exists(dev_.dir() / "store/Big/LATE.txt"));
}

// A new name below a folder used a moment ago skips the walk from the root;
// it must still find a name of other case, and notice a folder gone since.
TEST_F(PathRulesTest, NewNamesBelowARecentlyUsedFolderFollowTheFolderAsItIsNow) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Recent", nullptr));
  ASSERT_TRUE(Put(u"\\Recent\\Kept.txt", "old"));
  // Asked for before it exists, then made: one file, in the case asked for.
  EXPECT_FAILS_WITH(GetFileAttributesW(u"\\Recent\\Fresh.txt"), INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(Put(u"\\Recent\\Fresh.txt", "new"));
  EXPECT_TRUE(fs::exists(dev_.dir() / "store/Recent/Fresh.txt"));
  // Another case of a name that is there opens that file.
  ASSERT_TRUE(Put(u"\\Recent\\KEPT.TXT", "replaced"));
  size_t count = 0;
  for (auto& e : fs::directory_iterator(dev_.dir() / "store/Recent")) count += e.is_regular_file();
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(fs::file_size(dev_.dir() / "store/Recent/Kept.txt"), 8u);
  // Removed on the host: no file is made where the folder was.
  fs::remove_all(dev_.dir() / "store/Recent");
  EXPECT_FAILS_WITH(Open(u"\\Recent\\Late.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE,
                    ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(fs::exists(dev_.dir() / "store/Recent"));
  // Made a file on the host in its place: still no path below it.
  std::ofstream(dev_.dir() / "store/Recent") << "a file now";
  EXPECT_FAILS_WITH(Open(u"\\Recent\\Late.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE,
                    ERROR_PATH_NOT_FOUND);
}

class RomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
    ASSERT_TRUE(Put(u"\\Windows\\ModelSetup.exe", "rom program"));
    FileMetaRecord rom{FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY,
                       ToFileTime(120000000000000000LL), ToFileTime(120000000000000000LL)};
    ASSERT_TRUE(SetFileMetaRecord(dev_.device(), u"\\Windows\\ModelSetup.exe", rom));
  }
  ScratchDevice dev_;
};

TEST_F(RomTest, RomFilesCanBeReadButNeverChanged) {
  const DWORD rom = FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\ModelSetup.exe"), rom);
  HANDLE h = Open(u"\\Windows\\ModelSetup.exe", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_FAILS_WITH(Open(u"\\Windows\\ModelSetup.exe", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE,
                    ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(Open(u"\\Windows\\ModelSetup.exe", GENERIC_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE,
                    ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\Windows\\ModelSetup.exe"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(MoveFileW(u"\\Windows\\ModelSetup.exe", u"\\Windows\\Other.exe"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(SetFileAttributesW(u"\\Windows\\ModelSetup.exe", FILE_ATTRIBUTE_NORMAL), FALSE,
                    ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\ModelSetup.exe"), rom);
  // A copy is an ordinary file.
  EXPECT_TRUE(CopyFileW(u"\\Windows\\ModelSetup.exe", u"\\copy.exe", TRUE));
  EXPECT_EQ(GetFileAttributesW(u"\\copy.exe"), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
}

// The ROM mark alone forbids every change: a ROM file that is not also
// read-only is still never opened for writing, replaced, deleted or moved.
TEST_F(RomTest, TheRomMarkAloneKeepsAFileFromChanging) {
  ASSERT_TRUE(Put(u"\\Windows\\Imager.dll", "rom library"));
  FileMetaRecord rom{FILE_ATTRIBUTE_INROM, ToFileTime(120000000000000000LL), ToFileTime(120000000000000000LL)};
  ASSERT_TRUE(SetFileMetaRecord(dev_.device(), u"\\Windows\\Imager.dll", rom));
  ASSERT_EQ(GetFileAttributesW(u"\\Windows\\Imager.dll"), DWORD{FILE_ATTRIBUTE_INROM});
  HANDLE h = Open(u"\\Windows\\Imager.dll", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  for (DWORD access : {DWORD{GENERIC_WRITE}, DWORD{GENERIC_READ | GENERIC_WRITE}}) {
    for (DWORD disposition : {DWORD{OPEN_EXISTING}, DWORD{OPEN_ALWAYS}, DWORD{TRUNCATE_EXISTING}}) {
      SCOPED_TRACE(testing::Message() << std::hex << "access " << access << " disposition " << disposition);
      EXPECT_FAILS_WITH(Open(u"\\Windows\\Imager.dll", access, disposition), INVALID_HANDLE_VALUE,
                        ERROR_ACCESS_DENIED);
    }
  }
  EXPECT_FAILS_WITH(Open(u"\\Windows\\Imager.dll", GENERIC_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE,
                    ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\Windows\\Imager.dll"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(MoveFileW(u"\\Windows\\Imager.dll", u"\\Imager.dll"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(SetFileAttributesW(u"\\Windows\\Imager.dll", FILE_ATTRIBUTE_NORMAL), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get(u"\\Windows\\Imager.dll"), "rom library");
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\Imager.dll"), DWORD{FILE_ATTRIBUTE_INROM});
}

TEST_F(RomTest, HostHelpersReadAndCopyRows) {
  FileMetaRecord got{};
  ASSERT_TRUE(GetFileMetaRecord(dev_.device(), u"windows\\modelsetup.exe", &got));
  EXPECT_EQ(got.attributes, FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(FileTimeValue(got.creation), 120000000000000000LL);
  EXPECT_FALSE(GetFileMetaRecord(dev_.device(), u"\\Windows\\none", &got));

  HostLocation where;
  DWORD error = kSentinel;
  ASSERT_TRUE(ResolveToHost(dev_.device(), u"\\FlashDisk\\x\\..", &where, &error) == false);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));
  ASSERT_TRUE(ResolveToHost(dev_.device(), u"\\flashdisk\\new.bin", &where, &error));
  EXPECT_EQ(error, 0u);
  EXPECT_TRUE(where.on_volume);
  EXPECT_EQ(where.volume, "FlashDisk");
  EXPECT_FALSE(where.exists);
  EXPECT_EQ(where.host, dev_.dir() / "volumes/FlashDisk/new.bin");
  EXPECT_EQ(where.meta_key, "volumes/FlashDisk/new.bin");

  // A full reset: the store comes back from the factory copy with its rows.
  fs::copy(dev_.dir() / "store", dev_.dir() / "factory/store", fs::copy_options::recursive);
  ASSERT_TRUE(CopyMetaRows(dev_.device(), "store", "factory/store"));
  ASSERT_TRUE(GetMetaRecordByKey(dev_.device(), "factory/store/Windows/ModelSetup.exe", &got));
  EXPECT_EQ(got.attributes & FILE_ATTRIBUTE_INROM, FILE_ATTRIBUTE_INROM);
  fs::remove_all(dev_.dir() / "store/Windows");
  ASSERT_TRUE(DeleteMetaRows(dev_.device(), "store/Windows"));
  EXPECT_FALSE(GetFileMetaRecord(dev_.device(), u"\\Windows\\ModelSetup.exe", &got));
  fs::copy(dev_.dir() / "factory/store/Windows", dev_.dir() / "store/Windows", fs::copy_options::recursive);
  ASSERT_TRUE(CopyMetaRows(dev_.device(), "factory/store/Windows", "store/Windows"));
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\ModelSetup.exe"),
            FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\Windows\\ModelSetup.exe"), FALSE, ERROR_ACCESS_DENIED);
}

// Files the system holds open: listed in the settings, held with no sharing.
DeviceSettings WithHeldFiles() {
  DeviceSettings s = ScratchDevice::DefaultSettings();
  s.held_files = {"\\pim.vol", "Windows/IMJP31.DLL", "\\FlashDisk\\log.txt\\", "\\Windows\\later.dic"};
  return s;
}

class HeldFilesTest : public ::testing::Test {
 protected:
  HeldFilesTest() : dev_(WithHeldFiles()) {}
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
    for (const char16_t* path : {u"\\pim.vol", u"\\Windows\\Imjp31.dll", u"\\FlashDisk\\log.txt", u"\\other.vol"})
      ASSERT_TRUE(Put(path, "system data"));
  }
  std::string HostText(const std::string& rel) {
    std::ifstream in(dev_.dir() / rel, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  ScratchDevice dev_;
};

TEST_F(HeldFilesTest, NoProgramOpensDeletesMovesOrReplacesThem) {
  for (const char16_t* held : {u"\\pim.vol", u"\\PIM.VOL", u"\\windows\\imjp31.dll", u"FlashDisk/log.txt"}) {
    SCOPED_TRACE(ToUtf8(held));
    EXPECT_FAILS_WITH(Open(held, GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_WITH(Open(held, GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_WITH(Open(held, GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_WITH(DeleteFileW(held), FALSE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_WITH(MoveFileW(held, u"\\moved"), FALSE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_WITH(CopyFileW(held, u"\\copy", FALSE), FALSE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_WITH(CopyFileW(u"\\other.vol", held, FALSE), FALSE, ERROR_SHARING_VIOLATION);
  }
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\pim.vol", u"\\other.vol"), FALSE, ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\other.vol", u"\\pim.vol"), FALSE, ERROR_SHARING_VIOLATION);
  // Their folder cannot go while they are in it.
  EXPECT_FAILS_WITH(RemoveDirectoryW(u"\\Windows"), FALSE, ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(HostText("store/pim.vol"), "system data");
  EXPECT_EQ(HostText("store/Windows/Imjp31.dll"), "system data");
  EXPECT_EQ(HostText("volumes/FlashDisk/log.txt"), "system data");
  EXPECT_FALSE(fs::exists(dev_.dir() / "store/moved"));
  EXPECT_FALSE(fs::exists(dev_.dir() / "store/copy"));
}

TEST_F(HeldFilesTest, TheyAreListedWithTheirAttributesAndTheirNeighboursAreOrdinary) {
  EXPECT_TRUE(SetFileAttributesW(u"\\pim.vol", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(GetFileAttributesW(u"\\pim.vol"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(u"\\pim.vol", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(fd.nFileSizeLow, 11u);
  FindClose(f);
  // Only the listed path is held: the same name elsewhere is a plain file.
  ASSERT_TRUE(Put(u"\\Windows\\pim.vol", "user copy"));
  EXPECT_TRUE(DeleteFileW(u"\\Windows\\pim.vol"));
  EXPECT_TRUE(DeleteFileW(u"\\other.vol"));
  // A listed file that is missing can be made; from then on it is held.
  EXPECT_TRUE(Put(u"\\Windows\\later.dic", "n"));
  EXPECT_FAILS_WITH(DeleteFileW(u"\\Windows\\later.dic"), FALSE, ERROR_SHARING_VIOLATION);
}

TEST_F(HeldFilesTest, ChangingTheListInTheSettingsReleasesAFile) {
  ASSERT_TRUE(dev_.device().UpdateSettings([](DeviceSettings& s) { s.held_files = {"\\Windows\\Imjp31.dll"}; }));
  EXPECT_TRUE(DeleteFileW(u"\\pim.vol"));
  EXPECT_FAILS_WITH(DeleteFileW(u"\\Windows\\Imjp31.dll"), FALSE, ERROR_SHARING_VIOLATION);
  // The list travels in device.json, where a user sees and edits it.
  DeviceSettings loaded;
  ASSERT_TRUE(LoadSettingsFile(dev_.dir() / "device.json", &loaded, nullptr));
  EXPECT_EQ(loaded.held_files, std::vector<std::string>{"\\Windows\\Imjp31.dll"});
}

DeviceSettings SmallSpaces() {
  DeviceSettings s = ScratchDevice::DefaultSettings();
  s.volumes = {{"FlashDisk", 100000}, {"Storage Card", 0}};
  s.store_capacity = 0;  // set per test once the state database size is known
  return s;
}

class SpaceTest : public ::testing::Test {
 protected:
  SpaceTest() : dev_(SmallSpaces()) {}
  ScratchDevice dev_;
};

TEST_F(SpaceTest, WritesPastAVolumeQuotaFailWithDiskFull) {
  HANDLE h = Open(u"\\FlashDisk\\a.bin", GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::string chunk(30000, 'a');
  DWORD n = kSentinel;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteFile(h, chunk.data(), 30000, &n, nullptr));
  n = kSentinel;
  EXPECT_FAILS_WITH(WriteFile(h, chunk.data(), 30000, &n, nullptr), FALSE, ERROR_DISK_FULL);
  EXPECT_EQ(n, 0u);
  // Rewriting what is already there needs no space.
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
  EXPECT_TRUE(WriteFile(h, chunk.data(), 30000, &n, nullptr));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 90000u);
  EXPECT_TRUE(WriteFile(h, chunk.data(), 10000, &n, nullptr));
  EXPECT_FAILS_WITH(WriteFile(h, chunk.data(), 1, &n, nullptr), FALSE, ERROR_DISK_FULL);
  CloseHandle(h);
  EXPECT_EQ(fs::file_size(dev_.dir() / "volumes/FlashDisk/a.bin"), 100000u);

  // The next file sees the space the first one took.
  h = Open(u"\\FlashDisk\\b.bin", GENERIC_WRITE, CREATE_NEW);
  EXPECT_FAILS_WITH(WriteFile(h, chunk.data(), 1, &n, nullptr), FALSE, ERROR_DISK_FULL);
  EXPECT_FAILS_WITH(SetFilePointer(h, 10, nullptr, FILE_BEGIN) == 10 && SetEndOfFile(h), FALSE, ERROR_DISK_FULL);
  CloseHandle(h);
  EXPECT_FAILS_WITH(CopyFileW(u"\\FlashDisk\\a.bin", u"\\FlashDisk\\c.bin", TRUE), FALSE, ERROR_DISK_FULL);
  EXPECT_FALSE(fs::exists(dev_.dir() / "volumes/FlashDisk/c.bin"));
  ASSERT_TRUE(Put(u"\\Storage Card\\d.bin", "12345"));
  EXPECT_FAILS_WITH(MoveFileW(u"\\Storage Card\\d.bin", u"\\FlashDisk\\d.bin"), FALSE, ERROR_DISK_FULL);
  // Deleting gives the space back.
  ASSERT_TRUE(DeleteFileW(u"\\FlashDisk\\a.bin"));
  EXPECT_TRUE(MoveFileW(u"\\Storage Card\\d.bin", u"\\FlashDisk\\d.bin"));
  EXPECT_TRUE(CopyFileW(u"\\FlashDisk\\b.bin", u"\\FlashDisk\\c.bin", TRUE));
}

TEST_F(SpaceTest, FilesCopiedInFromTheHostCountOnceAProcessLooks) {
  { std::ofstream(dev_.dir() / "volumes/FlashDisk/from-pc.bin") << std::string(60000, 'p'); }
  ULARGE_INTEGER free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\FlashDisk", nullptr, nullptr, &free));
  EXPECT_EQ(free.QuadPart, 40000u);
  HANDLE h = Open(u"\\FlashDisk\\more.bin", GENERIC_WRITE, CREATE_NEW);
  std::string chunk(50000, 'm');
  DWORD n;
  EXPECT_FAILS_WITH(WriteFile(h, chunk.data(), 50000, &n, nullptr), FALSE, ERROR_DISK_FULL);
  CloseHandle(h);
}

TEST_F(SpaceTest, TheObjectStoreCapacityCountsRegistryAndDatabases) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Big", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::string blob(4000, 'r');
  for (int i = 0; i < 25; ++i) {
    std::u16string name = u"Data" + std::u16string(1, static_cast<char16_t>(u'A' + i));
    ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()), 4000),
              ERROR_SUCCESS);
  }
  uint64_t non_file = ObjectStoreNonFileBytes();
  ASSERT_GE(non_file, 100000u);
  ASSERT_TRUE(dev_.device().UpdateSettings([&](DeviceSettings& s) { s.store_capacity = non_file + 250000; }));
  ULARGE_INTEGER total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", nullptr, &total, &free));
  EXPECT_EQ(total.QuadPart, non_file + 250000);
  EXPECT_EQ(free.QuadPart, 250000u);
  HANDLE h = Open(u"\\big.bin", GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::string chunk(100000, 'b');
  DWORD n;
  EXPECT_TRUE(WriteFile(h, chunk.data(), 100000, &n, nullptr));
  EXPECT_TRUE(WriteFile(h, chunk.data(), 100000, &n, nullptr));
  EXPECT_FAILS_WITH(WriteFile(h, chunk.data(), 100000, &n, nullptr), FALSE, ERROR_DISK_FULL);
  CloseHandle(h);
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", nullptr, nullptr, &free));
  EXPECT_EQ(free.QuadPart, 50000u);
  // Registry data given back is file space again.
  for (int i = 0; i < 25; ++i) {
    std::u16string name = u"Data" + std::u16string(1, static_cast<char16_t>(u'A' + i));
    ASSERT_EQ(RegDeleteValueW(key, name.c_str()), ERROR_SUCCESS);
  }
  RegCloseKey(key);
  h = Open(u"\\more.bin", GENERIC_WRITE, CREATE_NEW);
  EXPECT_TRUE(WriteFile(h, chunk.data(), 100000, &n, nullptr));
  CloseHandle(h);
  // Volumes have their own space.
  EXPECT_TRUE(Put(u"\\Storage Card\\big.bin", std::string(400000, 's')));
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Put(u"\\FlashDisk\\f.bin", "content")); }
  ScratchDevice dev_;
};

TEST_F(FaultTest, ReadAndWriteFaultsHitTheNamedFileOnly) {
  ASSERT_TRUE(AddFault("file.read", u"\\FlashDisk\\f.bin", ERROR_READ_FAULT, 1));
  ASSERT_TRUE(AddFault("file.write", u"\\FlashDisk\\*", ERROR_WRITE_FAULT, 1));
  ASSERT_TRUE(Put(u"\\other.bin", "unaffected"));
  HANDLE h = Open(u"\\flashdisk\\F.BIN", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[16];
  DWORD n = kSentinel;
  EXPECT_FAILS_WITH(ReadFile(h, buf, sizeof buf, &n, nullptr), FALSE, ERROR_READ_FAULT);
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 7u);
  EXPECT_FAILS_WITH(WriteFile(h, "x", 1, &n, nullptr), FALSE, ERROR_WRITE_FAULT);
  EXPECT_TRUE(WriteFile(h, "x", 1, &n, nullptr));
  CloseHandle(h);
}

TEST_F(FaultTest, OpenCreateDeleteVanishAndFullVolumeFaults) {
  ASSERT_TRUE(AddFault("file.open", u"\\FlashDisk\\f.bin", ERROR_SHARING_VIOLATION, 1));
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\f.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE,
                    ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(AddFault("file.create", u"\\FlashDisk\\*", ERROR_WRITE_PROTECT, 2));
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\new.bin", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE,
                    ERROR_WRITE_PROTECT);
  EXPECT_FALSE(fs::exists(dev_.dir() / "volumes/FlashDisk/new.bin"));
  EXPECT_FAILS_WITH(CreateDirectoryW(u"\\FlashDisk\\dir", nullptr), FALSE, ERROR_WRITE_PROTECT);
  ASSERT_TRUE(AddFault("file.delete", u"\\FlashDisk\\f.bin", ERROR_ACCESS_DENIED, 1));
  EXPECT_FAILS_WITH(DeleteFileW(u"\\FlashDisk\\f.bin"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(fs::exists(dev_.dir() / "volumes/FlashDisk/f.bin"));

  ASSERT_TRUE(AddFault("file.vanish", u"\\FlashDisk\\f.bin", ERROR_FILE_NOT_FOUND, 1));
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(u"\\FlashDisk\\*", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(fd.cFileName), u"f.bin");
  FindClose(f);
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\f.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE,
                    ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(AddFault("volume.full", u"\\FlashDisk\\*", ERROR_DISK_FULL, -1));
  HANDLE h = Open(u"\\FlashDisk\\f.bin", GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n;
  EXPECT_FAILS_WITH(WriteFile(h, "x", 1, &n, nullptr), FALSE, ERROR_DISK_FULL);
  CloseHandle(h);
  ClearFaults();
  EXPECT_TRUE(DeleteFileW(u"\\FlashDisk\\f.bin"));
}

TEST_F(FaultTest, AKillFaultEndsTheProgramBeforeTheOperationActs) {
  ASSERT_TRUE(AddFault("file.delete", u"\\FlashDisk\\f.bin", kFaultEndsProgram, 1));
  int code = RunAsOtherProgram([] {
    DeleteFileW(u"\\FlashDisk\\f.bin");
    return 0;  // never reached
  });
  EXPECT_EQ(code, -1) << "the program did not end by a kill";
  EXPECT_TRUE(fs::exists(dev_.dir() / "volumes/FlashDisk/f.bin"));
  // The fault was used up by the program it ended.
  EXPECT_TRUE(ListFaults().empty());
  EXPECT_TRUE(DeleteFileW(u"\\FlashDisk\\f.bin"));
}

}  // namespace
}  // namespace cedev

// Conformance of the path side of the file API: attributes, folders,
// deleting, moving, copying.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ce/file.h"
#include "ce/handle.h"
#include "faults.h"
#include "file_meta.h"
#include "file_service.h"
#include "api_expect.h"
#include "scratch_device.h"

namespace cedev {
namespace {

class FoldersTest : public ::testing::Test {
 protected:
  void Put(const char16_t* path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_TRUE(CloseHandle(h));
  }
  std::string Get(const char16_t* path) {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buf[64];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    CloseHandle(h);
    return out;
  }
  bool HostHas(const std::string& rel) { return std::filesystem::exists(dev_.dir() / rel); }

  ScratchDevice dev_;
};

TEST_F(FoldersTest, NullPathsAreInvalidParameters) {
  EXPECT_FAILS_WITH(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(SetFileAttributesW(nullptr, 0), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CreateDirectoryW(nullptr, nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(RemoveDirectoryW(nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(DeleteFileW(nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(MoveFileW(nullptr, u"\\x"), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(MoveFileW(u"\\x", nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CopyFileW(nullptr, u"\\x", FALSE), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CopyFileW(u"\\x", nullptr, FALSE), FALSE, ERROR_INVALID_PARAMETER);
  WIN32_FIND_DATAW fd;
  EXPECT_FAILS_WITH(FindFirstFileW(nullptr, &fd), INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(FindFirstFileW(u"\\*", nullptr), INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
}

TEST_F(FoldersTest, MissingFileAndMissingFolderAreToldApart) {
  EXPECT_FAILS_WITH(GetFileAttributesW(u"\\nothing.txt"), INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(GetFileAttributesW(u"\\no\\nothing.txt"), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\nothing.txt"), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\no\\nothing.txt"), FALSE, ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(CreateDirectoryW(u"\\no\\sub", nullptr), FALSE, ERROR_PATH_NOT_FOUND);
  Put(u"\\file", "x");
  // A file used as a folder on the way is a missing path.
  EXPECT_FAILS_WITH(GetFileAttributesW(u"\\file\\x"), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND);
}

TEST_F(FoldersTest, AttributesAreStoredAndOnlyTheSettableOnesChange) {
  Put(u"\\a.txt", "x");
  EXPECT_EQ(GetFileAttributesW(u"\\a.txt"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(SetFileAttributesW(u"\\a.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_INROM |
                                               FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"\\a.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(SetFileAttributesW(u"\\a.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(u"\\a.txt"), FILE_ATTRIBUTE_NORMAL);
  // The host file itself is untouched by device attributes.
  EXPECT_TRUE(SetFileAttributesW(u"\\a.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(u"\\A.TXT"), FILE_ATTRIBUTE_READONLY);
  EXPECT_FAILS_WITH(SetFileAttributesW(u"\\missing", 0), FALSE, ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(CreateDirectoryW(u"\\d", nullptr));
  EXPECT_TRUE(SetFileAttributesW(u"\\d", FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW(u"\\d"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(FoldersTest, ReadOnlyFilesRefuseWritingAndDeletingUntilTheMarkGoes) {
  Put(u"\\ro.txt", "keep", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesW(u"\\ro.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_FAILS_WITH(CreateFileW(u"\\ro.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                    INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(CreateFileW(u"\\ro.txt", GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                    INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\ro.txt"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get(u"\\ro.txt"), "keep");
  EXPECT_TRUE(SetFileAttributesW(u"\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileW(u"\\ro.txt"));
}

TEST_F(FoldersTest, CreateAndRemoveDirectories) {
  SetLastError(kSentinel);
  EXPECT_TRUE(CreateDirectoryW(u"\\My Documents", nullptr));
  EXPECT_EQ(GetFileAttributesW(u"\\my documents"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FAILS_WITH(CreateDirectoryW(u"\\MY DOCUMENTS", nullptr), FALSE, ERROR_ALREADY_EXISTS);
  EXPECT_FAILS_WITH(CreateDirectoryW(u"\\FlashDisk", nullptr), FALSE, ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(CreateDirectoryW(u"My Documents\\Sub", nullptr));
  EXPECT_TRUE(HostHas("store/My Documents/Sub"));
  Put(u"\\My Documents\\Sub\\f.txt", "x");

  EXPECT_FAILS_WITH(RemoveDirectoryW(u"\\My Documents"), FALSE, ERROR_DIR_NOT_EMPTY);
  EXPECT_FAILS_WITH(RemoveDirectoryW(u"\\My Documents\\Sub\\f.txt"), FALSE, ERROR_DIRECTORY);
  EXPECT_FAILS_WITH(RemoveDirectoryW(u"\\My Documents\\None"), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\My Documents\\Sub"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(DeleteFileW(u"\\My Documents\\Sub\\f.txt"));
  EXPECT_TRUE(RemoveDirectoryW(u"\\my documents\\sub"));
  EXPECT_TRUE(RemoveDirectoryW(u"\\My Documents"));
  EXPECT_FALSE(HostHas("store/My Documents"));
  // The root and the volumes stay.
  EXPECT_FAILS_WITH(RemoveDirectoryW(u"\\FlashDisk"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(RemoveDirectoryW(u"\\"), FALSE, ERROR_ACCESS_DENIED);
}

TEST_F(FoldersTest, DeletedFilesLoseTheirRows) {
  Put(u"\\gone.txt", "x");
  ASSERT_TRUE(SetFileAttributesW(u"\\gone.txt", FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(DeleteFileW(u"\\gone.txt"));
  EXPECT_FALSE(HostHas("store/gone.txt"));
  Put(u"\\gone.txt", "y");
  EXPECT_EQ(GetFileAttributesW(u"\\gone.txt"), FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(FoldersTest, MoveRenamesFilesAndFoldersWithTheirAttributes) {
  ASSERT_TRUE(CreateDirectoryW(u"\\src", nullptr));
  Put(u"\\src\\a.txt", "alpha");
  ASSERT_TRUE(SetFileAttributesW(u"\\src\\a.txt", FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(MoveFileW(u"\\src\\a.txt", u"\\src\\b.txt"));
  EXPECT_EQ(GetFileAttributesW(u"\\src\\b.txt"), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_FAILS_WITH(GetFileAttributesW(u"\\src\\a.txt"), INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND);

  // A folder moves with everything in it, across to a volume too.
  EXPECT_TRUE(MoveFileW(u"\\src", u"\\Storage Card\\dst"));
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\dst\\b.txt"), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(Get(u"\\Storage Card\\dst\\b.txt"), "alpha");
  EXPECT_TRUE(HostHas("volumes/Storage Card/dst/b.txt"));

  // Changing only the case renames on the host.
  EXPECT_TRUE(MoveFileW(u"\\Storage Card\\dst\\b.txt", u"\\Storage Card\\dst\\B.TXT"));
  EXPECT_TRUE(HostHas("volumes/Storage Card/dst/B.TXT"));
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\dst\\b.txt"), FILE_ATTRIBUTE_SYSTEM);
}

TEST_F(FoldersTest, MoveRefusesAnExistingTargetAndMissingSources) {
  Put(u"\\one", "1");
  Put(u"\\two", "2");
  EXPECT_FAILS_WITH(MoveFileW(u"\\one", u"\\two"), FALSE, ERROR_ALREADY_EXISTS);
  EXPECT_EQ(Get(u"\\two"), "2");
  EXPECT_FAILS_WITH(MoveFileW(u"\\three", u"\\four"), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(MoveFileW(u"\\one", u"\\no\\one"), FALSE, ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(MoveFileW(u"\\FlashDisk", u"\\Elsewhere"), FALSE, ERROR_ACCESS_DENIED);
}

TEST_F(FoldersTest, DeleteAndRenameFileReplacesTheDestinationByTheSourceInOneStep) {
  ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk\\Backup", nullptr));
  Put(u"\\FlashDisk\\Backup\\Backup.dat", std::string(3000, 'o'));
  ASSERT_TRUE(SetFileAttributesW(u"\\FlashDisk\\Backup\\Backup.dat", FILE_ATTRIBUTE_SYSTEM));
  Put(u"\\FlashDisk\\Backup\\Backup.$$$", "new");
  ASSERT_TRUE(SetFileAttributesW(u"\\FlashDisk\\Backup\\Backup.$$$", FILE_ATTRIBUTE_HIDDEN));
  ULARGE_INTEGER before{}, after{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\FlashDisk", nullptr, nullptr, &before));

  SetLastError(kSentinel);
  EXPECT_TRUE(DeleteAndRenameFile(u"\\FlashDisk\\Backup\\backup.DAT", u"\\FlashDisk\\Backup\\Backup.$$$"));
  EXPECT_EQ(Get(u"\\FlashDisk\\Backup\\Backup.dat"), "new");
  // The file keeps the destination's name and carries the source's row.
  EXPECT_TRUE(HostHas("volumes/FlashDisk/Backup/Backup.dat"));
  EXPECT_FALSE(HostHas("volumes/FlashDisk/Backup/Backup.$$$"));
  EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk\\Backup\\Backup.dat"), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FAILS_WITH(GetFileAttributesW(u"\\FlashDisk\\Backup\\Backup.$$$"), INVALID_FILE_ATTRIBUTES,
                    ERROR_FILE_NOT_FOUND);
  // The replaced content no longer counts against the quota.
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\FlashDisk", nullptr, nullptr, &after));
  EXPECT_EQ(after.QuadPart, before.QuadPart + 3000);
  // In the object store too.
  Put(u"\\a", "a");
  Put(u"\\b", "b");
  EXPECT_TRUE(DeleteAndRenameFile(u"\\a", u"\\b"));
  EXPECT_EQ(Get(u"\\a"), "b");
  EXPECT_FALSE(HostHas("store/b"));
}

TEST_F(FoldersTest, DeleteAndRenameFileRefusesAndLeavesBothFilesAsTheyWere) {
  ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
  Put(u"\\dst", "dst");
  Put(u"\\src", "src");
  Put(u"\\Storage Card\\card", "card");
  Put(u"\\rom", "rom");
  FileMetaRecord rom;
  ASSERT_TRUE(GetFileMetaRecord(dev_.device(), u"\\rom", &rom));
  rom.attributes |= FILE_ATTRIBUTE_INROM;
  ASSERT_TRUE(SetFileMetaRecord(dev_.device(), u"\\rom", rom));
  auto unchanged = [&] {
    EXPECT_EQ(Get(u"\\dst"), "dst");
    EXPECT_EQ(Get(u"\\src"), "src");
  };

  EXPECT_FAILS_WITH(DeleteAndRenameFile(nullptr, u"\\src"), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", nullptr), FALSE, ERROR_INVALID_PARAMETER);
  // Both files must exist.
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\none", u"\\src"), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\none"), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\no\\dst", u"\\src"), FALSE, ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\..\\dst", u"\\src"), FALSE, ERROR_INVALID_NAME);
  // Files only, two different ones, in one space.
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dir", u"\\src"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\dir"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\FlashDisk"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\DST"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\Storage Card\\card"), FALSE, ERROR_NOT_SAME_DEVICE);
  // The destination is deleted: ROM and read-only refuse; the source is renamed: ROM refuses.
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\rom", u"\\src"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\rom"), FALSE, ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributesW(u"\\dst", FILE_ATTRIBUTE_READONLY));
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\src"), FALSE, ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributesW(u"\\dst", FILE_ATTRIBUTE_NORMAL));
  unchanged();
  // An open handle on either file refuses it.
  for (const char16_t* open : {u"\\dst", u"\\src"}) {
    HANDLE h = CreateFileW(open, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\src"), FALSE, ERROR_SHARING_VIOLATION);
    CloseHandle(h);
  }
  // Its own fault names the destination; the deletion's and the rename's apply as well.
  ASSERT_TRUE(AddFault("file.replace", u"\\dst", ERROR_NOT_SUPPORTED, 1));
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\src"), FALSE, ERROR_NOT_SUPPORTED);
  ASSERT_TRUE(AddFault("file.delete", u"\\src", ERROR_WRITE_FAULT, 1));
  EXPECT_FAILS_WITH(DeleteAndRenameFile(u"\\dst", u"\\src"), FALSE, ERROR_WRITE_FAULT);
  unchanged();
  EXPECT_TRUE(DeleteAndRenameFile(u"\\dst", u"\\src"));
  EXPECT_EQ(Get(u"\\dst"), "src");
}

TEST_F(FoldersTest, CopyKeepsContentAttributesAndLastWriteTime) {
  Put(u"\\orig.bin", std::string(200000, 'q'));
  ASSERT_TRUE(SetFileAttributesW(u"\\orig.bin", FILE_ATTRIBUTE_HIDDEN));
  HANDLE h = CreateFileW(u"\\orig.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const FILETIME written = ToFileTime(127777777777777777LL);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
  CloseHandle(h);

  SetLastError(kSentinel);
  EXPECT_TRUE(CopyFileW(u"\\orig.bin", u"\\FlashDisk\\copy.bin", TRUE));
  EXPECT_EQ(Get(u"\\FlashDisk\\copy.bin"), std::string(200000, 'q'));
  EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk\\copy.bin"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(u"\\FlashDisk\\copy.bin", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileTimeValue(fd.ftLastWriteTime), FileTimeValue(written));
  FindClose(f);

  EXPECT_FAILS_WITH(CopyFileW(u"\\orig.bin", u"\\FlashDisk\\copy.bin", TRUE), FALSE, ERROR_FILE_EXISTS);
  Put(u"\\small", "s");
  EXPECT_TRUE(CopyFileW(u"\\small", u"\\FlashDisk\\copy.bin", FALSE));
  EXPECT_EQ(Get(u"\\FlashDisk\\copy.bin"), "s");
  EXPECT_FAILS_WITH(CopyFileW(u"\\absent", u"\\x", FALSE), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(CopyFileW(u"\\small", u"\\no\\x", FALSE), FALSE, ERROR_PATH_NOT_FOUND);
  // Copying a file onto itself must not destroy it.
  EXPECT_FALSE(CopyFileW(u"\\small", u"\\SMALL", FALSE));
  EXPECT_EQ(Get(u"\\small"), "s");
}

TEST_F(FoldersTest, DiskFreeSpaceReportsQuotaCapacityOrHostFigures) {
  ULARGE_INTEGER caller{.QuadPart = kSentinel}, total{.QuadPart = kSentinel}, free{.QuadPart = kSentinel};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\FlashDisk", &caller, &total, &free));
  EXPECT_EQ(total.QuadPart, 64ull << 20);
  EXPECT_EQ(free.QuadPart, 64ull << 20);
  EXPECT_EQ(caller.QuadPart, free.QuadPart);
  Put(u"\\FlashDisk\\f.bin", std::string(1000, 'x'));
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\FlashDisk\\", &caller, &total, &free));
  EXPECT_EQ(free.QuadPart, (64ull << 20) - 1000);
  ASSERT_TRUE(DeleteFileW(u"\\FlashDisk\\f.bin"));
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\FlashDisk", nullptr, nullptr, &free));
  EXPECT_EQ(free.QuadPart, 64ull << 20);

  // The store counts its files and the state database against its capacity.
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", &caller, &total, &free));
  EXPECT_EQ(total.QuadPart, 32ull << 20);
  EXPECT_LT(free.QuadPart, total.QuadPart);
  ASSERT_TRUE(GetDiskFreeSpaceExW(nullptr, nullptr, &total, nullptr));
  EXPECT_EQ(total.QuadPart, 32ull << 20);

  // A volume without a quota reports the host's figures.
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Storage Card", nullptr, &total, &free));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(free.QuadPart, total.QuadPart);
  EXPECT_FAILS_WITH(GetDiskFreeSpaceExW(u"\\Nowhere", nullptr, &total, nullptr), FALSE, ERROR_PATH_NOT_FOUND);
}

}  // namespace
}  // namespace cedev

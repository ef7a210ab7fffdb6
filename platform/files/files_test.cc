// Conformance of the handle side of the file API: CreateFileW dispositions,
// reading, writing, positions, sizes and times.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "ce/file.h"
#include "ce/handle.h"
#include "api_expect.h"
#include "file_meta.h"
#include "scratch_device.h"

namespace cedev {
namespace {


class FilesTest : public ::testing::Test {
 protected:
  HANDLE Create(const char16_t* path, DWORD disposition, DWORD access = GENERIC_READ | GENERIC_WRITE, DWORD share = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  void Put(const char16_t* path, const std::string& bytes) {
    HANDLE h = Create(path, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = kSentinel;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
    ASSERT_TRUE(CloseHandle(h));
  }
  std::string Get(const char16_t* path) {
    HANDLE h = Create(path, OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buf[7];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    CloseHandle(h);
    return out;
  }
  std::string Host(const std::string& rel) { return (dev_.dir() / rel).string(); }

  ScratchDevice dev_;
};

TEST_F(FilesTest, CreateNewMakesAnArchiveFileAndRefusesAnExistingOne) {
  SetLastError(kSentinel);
  HANDLE h = Create(u"\\new.txt", CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(GetFileAttributesW(u"\\new.txt"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(std::filesystem::exists(Host("store/new.txt")));

  EXPECT_FAILS_WITH(Create(u"\\new.txt", CREATE_NEW), INVALID_HANDLE_VALUE, ERROR_FILE_EXISTS);
}

TEST_F(FilesTest, OpenAlwaysAndCreateAlwaysReportAnExistingFileWithSuccess) {
  Put(u"\\a.txt", "hello");
  SetLastError(kSentinel);
  HANDLE h = Create(u"\\a.txt", OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(h, nullptr), 5u);
  CloseHandle(h);

  SetLastError(kSentinel);
  h = Create(u"\\a.txt", CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);

  SetLastError(kSentinel);
  h = Create(u"\\b.txt", OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);
}

TEST_F(FilesTest, OpenExistingAndTruncateExistingNeedTheFile) {
  EXPECT_FAILS_WITH(Create(u"\\none.txt", OPEN_EXISTING), INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(Create(u"\\none.txt", TRUNCATE_EXISTING), INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(Create(u"\\no folder\\none.txt", OPEN_ALWAYS), INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);

  Put(u"\\t.txt", "content");
  HANDLE h = Create(u"\\t.txt", TRUNCATE_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);
}

TEST_F(FilesTest, BadArgumentsAreRefusedWithoutTouchingOutputs) {
  EXPECT_FAILS_WITH(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(Create(u"\\x.txt", 0), INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(Create(u"\\x.txt", 6), INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);

  char buf[4];
  DWORD n = kSentinel;
  for (HANDLE bad : {HANDLE(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(uintptr_t{0x12345})}) {
    EXPECT_FAILS_WITH(ReadFile(bad, buf, 4, &n, nullptr), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(WriteFile(bad, buf, 4, &n, nullptr), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(GetFileSize(bad, nullptr), INVALID_FILE_SIZE, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(SetEndOfFile(bad), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(FlushFileBuffers(bad), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(GetFileTime(bad, nullptr, nullptr, nullptr), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(SetFileTime(bad, nullptr, nullptr, nullptr), FALSE, ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(n, kSentinel);

  HANDLE h = Create(u"\\x.txt", CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FAILS_WITH(ReadFile(h, buf, 4, nullptr, nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(WriteFile(h, nullptr, 4, &n, nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
  CloseHandle(h);
  // A file handle is not a find handle, and a closed handle is no handle.
  EXPECT_FAILS_WITH(FindClose(h), FALSE, ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, ReadAndWriteFollowTheAccessAskedFor) {
  Put(u"\\r.txt", "abcdef");
  HANDLE h = Create(u"\\r.txt", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = kSentinel;
  EXPECT_FAILS_WITH(WriteFile(h, "x", 1, &n, nullptr), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_EQ(n, 0u);
  char buf[16] = {};
  EXPECT_TRUE(ReadFile(h, buf, 4, &n, nullptr));
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(std::string(buf, 4), "abcd");
  EXPECT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(std::string(buf, 2), "ef");
  // At the end a read succeeds with nothing.
  n = kSentinel;
  EXPECT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
  EXPECT_EQ(n, 0u);
  CloseHandle(h);

  h = Create(u"\\r.txt", OPEN_EXISTING, GENERIC_WRITE);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetLastError(kSentinel);
  n = kSentinel;
  EXPECT_FALSE(ReadFile(h, buf, 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(WriteFile(h, "XY", 2, &n, nullptr));
  EXPECT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);
  EXPECT_EQ(Get(u"\\r.txt"), "XYcdef");
}

TEST_F(FilesTest, FilePointerMovesFromEachOriginAndRefusesNegativePositions) {
  Put(u"\\p.bin", "0123456789");
  HANDLE h = Create(u"\\p.bin", OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_BEGIN), 3u);
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_CURRENT), 5u);
  EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_END), 9u);
  char c = 0;
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(h, &c, 1, &n, nullptr));
  EXPECT_EQ(c, '9');
  EXPECT_FAILS_WITH(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK);
  // The failed move left the position alone.
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);
  // Past the end, then SetEndOfFile grows the file to the position.
  EXPECT_EQ(SetFilePointer(h, 20, nullptr, FILE_BEGIN), 20u);
  EXPECT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(GetFileSize(h, nullptr), 20u);
  EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_TRUE(SetEndOfFile(h));
  DWORD high = kSentinel;
  EXPECT_EQ(GetFileSize(h, &high), 4u);
  EXPECT_EQ(high, 0u);
  CloseHandle(h);
  EXPECT_EQ(Get(u"\\p.bin"), "0123");
}

TEST_F(FilesTest, FilesOfFourGibibytesAndMoreUseTheHighParts) {
  HANDLE h = Create(u"\\Storage Card\\big.bin", CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LONG high = 1;
  SetLastError(kSentinel);
  EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);
  EXPECT_EQ(high, 1);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "Z", 1, &n, nullptr));
  DWORD size_high = kSentinel;
  EXPECT_EQ(GetFileSize(h, &size_high), 17u);
  EXPECT_EQ(size_high, 1u);
  // Without a high part a position past 4 GiB cannot be reported.
  EXPECT_FAILS_WITH(SetFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER);
  // A position whose low part is all ones is success, told apart by the last error.
  high = 0;
  EXPECT_FAILS_WITH(SetFilePointer(h, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER, 0u);
  EXPECT_EQ(high, 0);
  high = 0;
  EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_END), 17u);
  EXPECT_EQ(high, 1);
  high = -1;
  EXPECT_EQ(SetFilePointer(h, -17, &high, FILE_CURRENT), 0u);
  EXPECT_EQ(high, 1);
  char c = 0;
  EXPECT_TRUE(SetFilePointer(h, 16, &(high = 1), FILE_BEGIN) == 16u);
  EXPECT_TRUE(ReadFile(h, &c, 1, &n, nullptr));
  EXPECT_EQ(c, 'Z');
  CloseHandle(h);
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(u"\\Storage Card\\big.bin", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(fd.nFileSizeHigh, 1u);
  EXPECT_EQ(fd.nFileSizeLow, 17u);
  FindClose(f);
}

TEST_F(FilesTest, TimesKeepTheirHundredNanosecondPrecisionAndReadingChangesNone) {
  Put(u"\\t.bin", "data");
  HANDLE h = Create(u"\\t.bin", OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const FILETIME created = ToFileTime(125000000001234567LL);
  const FILETIME accessed = ToFileTime(126000000007654321LL);
  const FILETIME written = ToFileTime(127000000000000001LL);
  EXPECT_TRUE(SetFileTime(h, &created, &accessed, &written));
  CloseHandle(h);

  h = Create(u"\\t.bin", OPEN_EXISTING, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[8];
  DWORD n;
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  FILETIME c{kSentinel, kSentinel}, a{kSentinel, kSentinel}, w{kSentinel, kSentinel};
  EXPECT_TRUE(GetFileTime(h, &c, &a, &w));
  EXPECT_EQ(FileTimeValue(c), FileTimeValue(created));
  EXPECT_EQ(FileTimeValue(a), FileTimeValue(accessed));
  EXPECT_EQ(FileTimeValue(w), FileTimeValue(written));
  // Setting times needs write access.
  EXPECT_FAILS_WITH(SetFileTime(h, &created, nullptr, nullptr), FALSE, ERROR_ACCESS_DENIED);
  CloseHandle(h);

  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(u"\\t.bin", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileTimeValue(fd.ftCreationTime), FileTimeValue(created));
  EXPECT_EQ(FileTimeValue(fd.ftLastAccessTime), FileTimeValue(accessed));
  EXPECT_EQ(FileTimeValue(fd.ftLastWriteTime), FileTimeValue(written));
  FindClose(f);
}

TEST_F(FilesTest, LastWriteTimeSetBeforeMoreWritesOnTheSameHandleStays) {
  HANDLE h = Create(u"\\pinned.bin", CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const FILETIME written = ToFileTime(128000000000000009LL);
  DWORD n;
  EXPECT_TRUE(WriteFile(h, "ab", 2, &n, nullptr));
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
  EXPECT_TRUE(WriteFile(h, "cd", 2, &n, nullptr));
  CloseHandle(h);
  h = Create(u"\\pinned.bin", OPEN_EXISTING, GENERIC_READ);
  FILETIME w{};
  EXPECT_TRUE(GetFileTime(h, nullptr, nullptr, &w));
  EXPECT_EQ(FileTimeValue(w), FileTimeValue(written));
  CloseHandle(h);
}

TEST_F(FilesTest, AFileChangedOutsideTheEmulatorShowsTheHostsValues) {
  Put(u"\\outside.txt", "old");
  ASSERT_TRUE(SetFileAttributesW(u"\\outside.txt", FILE_ATTRIBUTE_HIDDEN));
  HANDLE h = Create(u"\\outside.txt", OPEN_EXISTING);
  const FILETIME created = ToFileTime(125000000000000000LL);
  const FILETIME accessed = ToFileTime(126000000000000000LL);
  ASSERT_TRUE(SetFileTime(h, &created, &accessed, nullptr));
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"\\outside.txt"), FILE_ATTRIBUTE_HIDDEN);

  { std::ofstream(Host("store/outside.txt"), std::ios::trunc) << "changed on the host"; }
  host::EntryStatus st;
  ASSERT_EQ(host::StatusFollowing(Host("store/outside.txt"), &st), 0);
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(u"\\outside.txt", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  FindClose(f);
  EXPECT_EQ(fd.nFileSizeLow, 19u);
  EXPECT_EQ(FileTimeValue(fd.ftLastWriteTime), st.last_write);
  EXPECT_EQ(FileTimeValue(fd.ftLastAccessTime), st.last_write);
  EXPECT_EQ(fd.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(FileTimeValue(fd.ftCreationTime), FileTimeValue(created));
}

TEST_F(FilesTest, AFileOnlyTheHostKnowsGetsTheHostsValues) {
  { std::ofstream(Host("volumes/FlashDisk/copied.txt")) << "from a PC"; }
  host::EntryStatus st;
  ASSERT_EQ(host::StatusFollowing(Host("volumes/FlashDisk/copied.txt"), &st), 0);
  EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk\\copied.txt"), FILE_ATTRIBUTE_ARCHIVE);
  HANDLE h = Create(u"FlashDisk\\COPIED.TXT", OPEN_EXISTING, GENERIC_READ);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME c{}, w{};
  EXPECT_TRUE(GetFileTime(h, &c, nullptr, &w));
  EXPECT_EQ(FileTimeValue(w), st.last_write);
  EXPECT_EQ(FileTimeValue(c), FileTimeValue(w));
  CloseHandle(h);
}

TEST_F(FilesTest, DirectoriesAndVolumeRootsCannotBeOpenedAsFiles) {
  ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
  for (const char16_t* path : {u"\\dir", u"\\FlashDisk", u"\\"}) {
    EXPECT_FAILS_WITH(Create(path, OPEN_EXISTING, GENERIC_READ), INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  }
}

}  // namespace
}  // namespace cedev

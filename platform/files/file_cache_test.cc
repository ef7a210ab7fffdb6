// Small reads and writes are gathered before they reach the host; no device
// program may notice: every call of the process sees every byte written
// before it, writes land where they were aimed and in the order made, and a
// failure of the host is still reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ce/file.h"
#include "ce/handle.h"
#include "api_expect.h"
#include "file_cache.h"
#include "other_program.h"
#include "scratch_device.h"

namespace cedev {
namespace {

namespace fs = std::filesystem;

std::string Pattern(size_t size, char base = 'a') {
  std::string out(size, 0);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>(base + i % 26);
  return out;
}

class FileCacheTest : public ::testing::Test {
 protected:
  HANDLE Open(const char16_t* path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  bool WriteAll(HANDLE h, const std::string& bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
      DWORD n = std::min(piece, bytes.size() - at), put = kSentinel;
      if (!WriteFile(h, bytes.data() + at, n, &put, nullptr) || put != n) return false;
    }
    return true;
  }
  std::string ReadAll(HANDLE h, size_t piece) {
    std::string out, buf(piece, 0);
    DWORD got = 0;
    while (ReadFile(h, buf.data(), static_cast<DWORD>(piece), &got, nullptr) && got) out.append(buf.data(), got);
    return out;
  }
  std::string HostFile(const char* rel) {
    std::ifstream in(dev_.dir() / rel, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  ScratchDevice dev_;
};

TEST_F(FileCacheTest, HeldWritesAreSeenByEveryLaterCallOfTheProcess) {
  HANDLE reader = Open(u"\\seen.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE writer = Open(u"\\seen.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  const std::string data = Pattern(10000);
  ASSERT_TRUE(WriteAll(writer, data, 1000));

  // By path: the file itself and its folder's listing.
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(u"\\seen.bin", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.nFileSizeLow, 10000u);
  FindClose(find);
  ASSERT_TRUE(WriteAll(writer, data, 1000));
  find = FindFirstFileW(u"\\*.bin", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.nFileSizeLow, 20000u);
  FindClose(find);
  // By a handle opened before the writes.
  DWORD high = kSentinel;
  EXPECT_EQ(GetFileSize(reader, &high), 20000u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(ReadAll(reader, 777), data + data);
  ASSERT_TRUE(WriteAll(writer, data, 1000));
  EXPECT_EQ(GetFileSize(reader, &high), 30000u);
  // A handle opened after them.
  HANDLE late = Open(u"\\seen.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  EXPECT_EQ(ReadAll(late, 4096), data + data + data);
  CloseHandle(late);

  // Flushing hands everything to the host file.
  ASSERT_TRUE(WriteAll(writer, "tail", 4));
  ASSERT_TRUE(FlushFileBuffers(writer));
  EXPECT_EQ(HostFile("store/seen.bin"), data + data + data + "tail");
  CloseHandle(writer);
  CloseHandle(reader);
}

TEST_F(FileCacheTest, WritesLandWhereTheyWereAimedAndInTheOrderMade) {
  HANDLE a = Open(u"\\order.bin", GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_NEW);
  HANDLE b = Open(u"\\order.bin", GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(WriteAll(a, std::string(1000, 'A'), 100));
  // b overwrites the middle of what a still holds; a's later bytes must not
  // bring the old middle back.
  ASSERT_EQ(SetFilePointer(b, 400, nullptr, FILE_BEGIN), 400u);
  ASSERT_TRUE(WriteAll(b, std::string(100, 'B'), 10));
  ASSERT_TRUE(CloseHandle(b));
  ASSERT_TRUE(WriteAll(a, std::string(50, 'C'), 50));
  // A gap left by a seek reads as zeros; a piece as large as the cache goes
  // straight through after what is held.
  ASSERT_EQ(SetFilePointer(a, 2000, nullptr, FILE_BEGIN), 2000u);
  ASSERT_TRUE(WriteAll(a, "xyz", 3));
  const std::string big = Pattern(kFileCacheBytes, 'A');
  ASSERT_TRUE(WriteAll(a, big, big.size()));
  ASSERT_EQ(SetFilePointer(a, 1, nullptr, FILE_BEGIN), 1u);
  ASSERT_TRUE(WriteAll(a, "q", 1));
  ASSERT_TRUE(CloseHandle(a));

  std::string expected = "Aq" + std::string(398, 'A') + std::string(100, 'B') + std::string(500, 'A') +
                         std::string(50, 'C') + std::string(950, '\0') + "xyz" + big;
  EXPECT_EQ(HostFile("store/order.bin"), expected);
}

TEST_F(FileCacheTest, SmallReadsAcrossWindowsFollowSeeksAndStopAtTheEnd) {
  const std::string data = Pattern(3 * kFileCacheBytes + 123);
  { std::ofstream(dev_.dir() / "store/big.bin", std::ios::binary) << data; }
  HANDLE h = Open(u"\\big.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(h, 1000), data);
  DWORD got = kSentinel;
  char buf[5000];
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(got, 0u) << "reading at the end succeeds with no bytes";

  ASSERT_EQ(SetFilePointer(h, kFileCacheBytes - 10, nullptr, FILE_BEGIN), kFileCacheBytes - 10);
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
  ASSERT_EQ(got, sizeof buf);
  EXPECT_EQ(std::string(buf, got), data.substr(kFileCacheBytes - 10, sizeof buf));
  ASSERT_EQ(SetFilePointer(h, 3, nullptr, FILE_BEGIN), 3u);
  ASSERT_TRUE(ReadFile(h, buf, 10, &got, nullptr));
  EXPECT_EQ(std::string(buf, got), data.substr(3, 10));
  CloseHandle(h);
}

TEST_F(FileCacheTest, AReaderThatLetsOthersWriteSeesTheirWritesAndOneThatRefusesThemKeepsThemOut) {
  { std::ofstream(dev_.dir() / "store/shared.bin", std::ios::binary) << Pattern(5000); }
  HANDLE reader = Open(u"\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  char buf[100];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(reader, buf, sizeof buf, &got, nullptr));

  HANDLE writer = Open(u"\\shared.bin", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  ASSERT_EQ(SetFilePointer(writer, 100, nullptr, FILE_BEGIN), 100u);
  ASSERT_TRUE(WriteAll(writer, std::string(100, 'Z'), 100));
  ASSERT_TRUE(ReadFile(reader, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(std::string(buf, got), std::string(100, 'Z'));
  CloseHandle(writer);
  CloseHandle(reader);

  // A reader that refuses writers is never surprised: nobody gets to write.
  HANDLE alone = Open(u"\\shared.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_TRUE(ReadFile(alone, buf, sizeof buf, &got, nullptr));
  EXPECT_FAILS_WITH(Open(u"\\shared.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(DeleteFileW(u"\\shared.bin"));
  CloseHandle(alone);
}

// The host refuses bytes past its file size limit (EFBIG) only when the
// held bytes reach it: the handle's next write, flush or end-of-file call
// reports it, once.
TEST_F(FileCacheTest, AHostWriteFailureIsReportedByTheHandlesNextWritingCall) {
  HANDLE h = Open(u"\\limited.bin", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  bool wrote = false;
  BOOL flushed = FALSE, flushed_again = FALSE;
  DWORD flush_error = 0;
  {
    ScopedFileSizeLimit small(4096);
    ASSERT_TRUE(small.Active());
    wrote = WriteAll(h, Pattern(6000), 1000);
    SetLastError(kSentinel);
    flushed = FlushFileBuffers(h);
    flush_error = GetLastError();
    flushed_again = FlushFileBuffers(h);
  }
  EXPECT_TRUE(wrote) << "held writes succeed";
  EXPECT_FALSE(flushed);
  EXPECT_EQ(flush_error, static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_TRUE(flushed_again) << "the failure is reported once";
  CloseHandle(h);
  EXPECT_EQ(HostFile("store/limited.bin"), Pattern(4096));
}

}  // namespace
}  // namespace cedev

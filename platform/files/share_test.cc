// Share modes between handles of this program and of other device programs.
// The other program is this test binary run again as a holder: it opens a
// file as told, reports, and keeps the handle until released or killed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ce/file.h"
#include "ce/handle.h"
#include "api_expect.h"
#include "other_program.h"
#include "scratch_device.h"
#include "wstr.h"

namespace cedev {
namespace {

HANDLE Open(const char16_t* path, DWORD access, DWORD share) {
  return CreateFileW(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Runs in the holding program only (see Holder).
TEST(ShareHolder, DISABLED_HoldsAFileOpen) {
  const char* path = std::getenv("TLV_HOLD_PATH");
  ASSERT_NE(path, nullptr);
  auto access = static_cast<DWORD>(std::strtoul(std::getenv("TLV_HOLD_ACCESS"), nullptr, 0));
  auto share = static_cast<DWORD>(std::strtoul(std::getenv("TLV_HOLD_SHARE"), nullptr, 0));
  HANDLE h = Open(FromUtf8(path).c_str(), access, share);
  ReportToStarter(h == INVALID_HANDLE_VALUE ? "failed " + std::to_string(GetLastError()) + "\n" : "ready\n");
  WaitToBeLetGo();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

// Another device program holding a file open.
class HolderProcess : public HoldingProgram {
 public:
  HolderProcess(const std::filesystem::path& device, const std::string& path, DWORD access, DWORD share)
      : HoldingProgram(device, "ShareHolder.DISABLED_HoldsAFileOpen",
                       {{"TLV_HOLD_PATH", path},
                        {"TLV_HOLD_ACCESS", std::to_string(access)},
                        {"TLV_HOLD_SHARE", std::to_string(share)}}) {}
  const std::string& status() const { return report(); }
  void Release() { LetGo(); }
};

class ShareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HANDLE h = CreateFileW(u"\\FlashDisk\\shared.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  ScratchDevice dev_;
};

TEST_F(ShareTest, HandlesOfOneProgramHonourEachOthersShareModes) {
  HANDLE writer = Open(u"\\FlashDisk\\shared.bin", GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  // Reading is shared, but a reader that refuses writers conflicts with the open writer.
  HANDLE reader = Open(u"\\FlashDisk\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\shared.bin", GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE,
                    ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\shared.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE),
                    INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\FlashDisk\\shared.bin"), FALSE, ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(MoveFileW(u"\\FlashDisk\\shared.bin", u"\\FlashDisk\\moved.bin"), FALSE, ERROR_SHARING_VIOLATION);
  CloseHandle(writer);
  CloseHandle(reader);
  HANDLE again = Open(u"\\FlashDisk\\shared.bin", GENERIC_READ | GENERIC_WRITE, 0);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
  EXPECT_TRUE(DeleteFileW(u"\\FlashDisk\\shared.bin"));
}

// Every pair of access and share modes against the rule itself: a second
// handle opens when neither handle does what the other refuses to share.
TEST_F(ShareTest, EveryPairOfModesFollowsTheShareRule) {
  struct Mode {
    DWORD access, share;
  };
  std::vector<Mode> modes;
  for (DWORD access : {DWORD{0}, DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}, DWORD{GENERIC_READ | GENERIC_WRITE}})
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_WRITE}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}})
      modes.push_back({access, share});
  auto refused = [](const Mode& doer, const Mode& other) {
    return ((doer.access & GENERIC_READ) && !(other.share & FILE_SHARE_READ)) ||
           ((doer.access & GENERIC_WRITE) && !(other.share & FILE_SHARE_WRITE));
  };
  for (const Mode& first : modes) {
    for (const Mode& second : modes) {
      SCOPED_TRACE(testing::Message() << std::hex << "first " << first.access << "/" << first.share << ", second "
                                      << second.access << "/" << second.share);
      HANDLE a = Open(u"\\FlashDisk\\shared.bin", first.access, first.share);
      ASSERT_NE(a, INVALID_HANDLE_VALUE) << GetLastError();
      HANDLE b = Open(u"\\FlashDisk\\shared.bin", second.access, second.share);
      if (refused(first, second) || refused(second, first)) {
        EXPECT_EQ(b, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
      } else {
        EXPECT_NE(b, INVALID_HANDLE_VALUE) << GetLastError();
      }
      if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
      CloseHandle(a);
    }
  }
}

// A file being written is in use even when nobody reads it and the writer
// shares everything: it can be neither deleted nor moved.
TEST_F(ShareTest, AWriteOnlyHandleKeepsTheFileFromBeingDeletedOrMoved) {
  for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_WRITE}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    SCOPED_TRACE(testing::Message() << "share " << share);
    HANDLE writer = Open(u"\\FlashDisk\\shared.bin", GENERIC_WRITE, share);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(writer, "held", 4, &put, nullptr));  // held back by the handle
    EXPECT_FAILS_WITH(DeleteFileW(u"\\FlashDisk\\shared.bin"), FALSE, ERROR_SHARING_VIOLATION);
    EXPECT_FAILS_WITH(MoveFileW(u"\\FlashDisk\\shared.bin", u"\\FlashDisk\\moved.bin"), FALSE,
                      ERROR_SHARING_VIOLATION);
    EXPECT_NE(GetFileAttributesW(u"\\FlashDisk\\shared.bin"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(u"\\FlashDisk\\moved.bin"), INVALID_FILE_ATTRIBUTES);
    CloseHandle(writer);
  }
  EXPECT_TRUE(MoveFileW(u"\\FlashDisk\\shared.bin", u"\\FlashDisk\\moved.bin"));
  EXPECT_TRUE(DeleteFileW(u"\\FlashDisk\\moved.bin"));
}

TEST_F(ShareTest, AWriteOnlyHandleInAnotherProgramKeepsTheFileFromBeingDeletedOrMoved) {
  HolderProcess holder(dev_.dir(), "\\FlashDisk\\shared.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_EQ(holder.status(), "ready\n");
  EXPECT_FAILS_WITH(DeleteFileW(u"\\FlashDisk\\shared.bin"), FALSE, ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(MoveFileW(u"\\FlashDisk\\shared.bin", u"\\FlashDisk\\moved.bin"), FALSE,
                    ERROR_SHARING_VIOLATION);
  holder.Release();
  EXPECT_TRUE(MoveFileW(u"\\FlashDisk\\shared.bin", u"\\FlashDisk\\moved.bin"));
  EXPECT_TRUE(DeleteFileW(u"\\FlashDisk\\moved.bin"));
}

TEST_F(ShareTest, AnExclusiveHandleInAnotherProgramLocksEveryoneOut) {
  HolderProcess holder(dev_.dir(), "\\FlashDisk\\shared.bin", GENERIC_READ, 0);
  ASSERT_EQ(holder.status(), "ready\n");
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE),
                    INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(CreateFileW(u"\\FlashDisk\\shared.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                    INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\FlashDisk\\shared.bin"), FALSE, ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(CopyFileW(u"\\FlashDisk\\shared.bin", u"\\copy.bin", FALSE), FALSE, ERROR_SHARING_VIOLATION);
  holder.Release();
  HANDLE h = Open(u"\\FlashDisk\\shared.bin", GENERIC_READ, 0);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST_F(ShareTest, AWriterElsewhereAllowsReadersThatShareWriting) {
  HolderProcess holder(dev_.dir(), "\\flashdisk\\SHARED.BIN", GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_EQ(holder.status(), "ready\n");
  HANDLE reader = Open(u"\\FlashDisk\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\shared.bin", GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE,
                    ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\shared.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE),
                    INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
}

TEST_F(ShareTest, TheOtherProgramIsRefusedWhileWeHoldTheFile) {
  HANDLE mine = Open(u"\\FlashDisk\\shared.bin", GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  HolderProcess holder(dev_.dir(), "\\FlashDisk\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(holder.status(), "failed 32\n");
  CloseHandle(mine);
}

TEST_F(ShareTest, AKilledProgramsShareDiesWithIt) {
  HolderProcess holder(dev_.dir(), "\\FlashDisk\\shared.bin", GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_EQ(holder.status(), "ready\n");
  EXPECT_FAILS_WITH(Open(u"\\FlashDisk\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE),
                    INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  holder.Kill();
  HANDLE h = Open(u"\\FlashDisk\\shared.bin", GENERIC_READ | GENERIC_WRITE, 0);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

}  // namespace
}  // namespace cedev

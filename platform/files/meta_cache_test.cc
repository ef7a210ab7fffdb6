// Rows a listing keeps for the lookups by path that follow it: a change to a
// row shows at once, whether this program, another of its threads or
// another program made it.
#include <gtest/gtest.h>

#include <thread>

#include "ce/file.h"
#include "ce/handle.h"
#include "meta_cache.h"
#include "other_program.h"
#include "scratch_device.h"
#include "wstr.h"

namespace cedev {
namespace {

constexpr const char16_t* kFile = u"\\Data\\a.txt";

class MetaCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"\\Data", nullptr));
    for (const char16_t* path : {kFile, u"\\Data\\b.txt"}) {
      HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      CloseHandle(h);
    }
  }
  // Lists the folder, so its rows are what the lookups that follow use.
  void ListData() {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(u"\\Data\\*.*", &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    while (FindNextFileW(h, &found)) {
    }
    FindClose(h);
  }
  DWORD LookedUpAttributes() {
    WIN32_FIND_DATAW found;
    found.dwFileAttributes = 0xDEADBEEF;
    HANDLE h = FindFirstFileW(kFile, &found);
    if (h == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
    FindClose(h);
    EXPECT_EQ(found.dwFileAttributes, GetFileAttributesW(kFile));
    return found.dwFileAttributes;
  }
  ScratchDevice dev_;
};

TEST_F(MetaCacheTest, ThisProgramsChangesShowAfterAListing) {
  ListData();
  EXPECT_EQ(LookedUpAttributes(), DWORD{FILE_ATTRIBUTE_ARCHIVE});
  ASSERT_TRUE(SetFileAttributesW(kFile, FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(LookedUpAttributes(), DWORD{FILE_ATTRIBUTE_HIDDEN});

  ListData();
  FILETIME created = {0x12345678, 0x01D00000};
  HANDLE h = CreateFileW(kFile, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, &created, nullptr, nullptr));
  CloseHandle(h);
  WIN32_FIND_DATAW found;
  h = FindFirstFileW(kFile, &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  EXPECT_EQ(found.ftCreationTime.dwLowDateTime, created.dwLowDateTime);
  EXPECT_EQ(found.ftCreationTime.dwHighDateTime, created.dwHighDateTime);

  // A file deleted and made again is a new file, not the row kept for the old one.
  ListData();
  ASSERT_TRUE(DeleteFileW(kFile));
  h = CreateFileW(kFile, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(LookedUpAttributes(), DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
}

TEST_F(MetaCacheTest, AnotherThreadsChangeShowsAtOnce) {
  ListData();
  EXPECT_EQ(LookedUpAttributes(), DWORD{FILE_ATTRIBUTE_ARCHIVE});
  bool changed = false;
  std::thread other([&] { changed = SetFileAttributesW(kFile, FILE_ATTRIBUTE_SYSTEM); });
  other.join();
  ASSERT_TRUE(changed);
  EXPECT_EQ(LookedUpAttributes(), DWORD{FILE_ATTRIBUTE_SYSTEM});
}

TEST_F(MetaCacheTest, AnotherProgramsChangeShowsAtOnce) {
  ListData();
  EXPECT_EQ(LookedUpAttributes(), DWORD{FILE_ATTRIBUTE_ARCHIVE});
  int code = RunAsOtherProgram([] { return SetFileAttributesW(kFile, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY) ? 0 : 1; });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(LookedUpAttributes(), DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY});
}

// A device opened again (even in the same folder) never sees rows kept for
// the device before it.
TEST(MetaCacheDevices, RowsKeptForOneDeviceAreNotAnotherDevicesRows) {
  std::optional<FileMeta> row;
  {
    ScratchDevice first;
    FileMeta meta;
    meta.attributes = FILE_ATTRIBUTE_HIDDEN;
    MetaRows().Keep(first.device(), "store/Data", MetaRowCache::Stamp(), {{"a.txt", meta}});
    ASSERT_TRUE(MetaRows().Find(first.device(), "store/Data/a.txt", &row));
    EXPECT_EQ(row->attributes, DWORD{FILE_ATTRIBUTE_HIDDEN});
    ASSERT_TRUE(MetaRows().Find(first.device(), "store/Data/other", &row));
    EXPECT_FALSE(row);
  }
  ScratchDevice second;
  EXPECT_FALSE(MetaRows().Find(second.device(), "store/Data/a.txt", &row));
}

}  // namespace
}  // namespace cedev

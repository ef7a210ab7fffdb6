// The registry's share of the object store: writes that would pass the
// store's capacity fail with ERROR_DISK_FULL and leave the registry as it
// was, and the usage figure a process keeps stays equal to a fresh count of
// the rows through its own changes and those of other processes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/file.h"
#include "ce/registry.h"
#include "api_expect.h"
#include "other_program.h"
#include "scratch_device.h"
#include "sql.h"
#include "store_usage.h"

namespace cedev {
namespace {


class RegistrySpaceTest : public ::testing::Test {
 protected:
  HKEY Create(HKEY parent, const WCHAR* path, const WCHAR* class_name = nullptr) {
    HKEY key = kSentinelKey;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, const_cast<LPWSTR>(class_name), 0, 0, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  LONG SetBytes(HKEY key, const WCHAR* name, size_t size, BYTE fill = 0x5a) {
    std::vector<BYTE> data(size, fill);
    return RegSetValueExW(key, name, 0, REG_BINARY, data.data(), static_cast<DWORD>(size));
  }
  // The registry's bytes summed from state.db over a connection of its own,
  // so no figure this process keeps takes part.
  uint64_t CountedAfresh() {
    SqlDb direct;
    EXPECT_TRUE(direct.Open((scratch_.dir() / "state.db").string()));
    auto keys = direct.Prepare("SELECT COALESCE(SUM(2 * length(name) + 2 * length(class)), 0) FROM reg_keys");
    auto values = direct.Prepare("SELECT COALESCE(SUM(2 * length(name) + length(data)), 0) FROM reg_values");
    EXPECT_TRUE(keys.Step());
    EXPECT_TRUE(values.Step());
    return static_cast<uint64_t>(keys.Int(0) + values.Int(0));
  }
  uint64_t FreeBytes() {
    ULARGE_INTEGER free{};
    EXPECT_TRUE(GetDiskFreeSpaceExW(u"\\", nullptr, nullptr, &free));
    return free.QuadPart;
  }
  // Lowers the store's capacity so that exactly `bytes` are left.
  void LeaveFree(uint64_t bytes) {
    ULARGE_INTEGER total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", nullptr, &total, &free));
    uint64_t used = total.QuadPart - free.QuadPart;
    ASSERT_TRUE(scratch_.device().UpdateSettings([&](DeviceSettings& s) { s.store_capacity = used + bytes; }));
    ASSERT_EQ(FreeBytes(), bytes);
  }

  ScratchDevice scratch_;
};

TEST_F(RegistrySpaceTest, ValueWritesPastTheCapacityFailAndChangeNothing) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Full");
  LeaveFree(1000);
  SetLastError(kSentinel);
  EXPECT_EQ(SetBytes(key, u"big", 2000), ERROR_DISK_FULL);
  EXPECT_EQ(GetLastError(), kSentinel);  // registry calls answer with their result only
  DWORD size = kSentinel;
  EXPECT_EQ(RegQueryValueExW(key, u"big", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, kSentinel);

  // 8 bytes of name and 900 of data fit; 92 bytes are left.
  ASSERT_EQ(SetBytes(key, u"half", 900, 1), ERROR_SUCCESS);
  EXPECT_EQ(FreeBytes(), 92u);
  // Rewriting a value needs only what it grows by.
  EXPECT_EQ(SetBytes(key, u"HALF", 900, 2), ERROR_SUCCESS);
  EXPECT_EQ(SetBytes(key, u"half", 990, 3), ERROR_SUCCESS);
  EXPECT_EQ(FreeBytes(), 2u);
  EXPECT_EQ(SetBytes(key, u"half", 993, 4), ERROR_DISK_FULL);
  std::vector<BYTE> data(2000, 0);
  size = 2000;
  ASSERT_EQ(RegQueryValueExW(key, u"half", nullptr, nullptr, data.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 990u);
  EXPECT_EQ(data[0], 3);  // the refused write left the last data in place
  // Shrinking always works and gives the space back.
  EXPECT_EQ(SetBytes(key, u"half", 100), ERROR_SUCCESS);
  EXPECT_EQ(FreeBytes(), 892u);
  ASSERT_EQ(RegDeleteValueW(key, u"half"), ERROR_SUCCESS);
  EXPECT_EQ(FreeBytes(), 1000u);
  EXPECT_EQ(SetBytes(key, u"big", 990), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistrySpaceTest, KeysPastTheCapacityAreNotMadeAtAll) {
  HKEY parent = Create(HKEY_LOCAL_MACHINE, u"Keys");
  LeaveFree(40);
  // "One", "Two" and "Three" with the class "Cls": 2 * (3 + 3 + 5 + 3) = 28 bytes.
  std::u16string path = u"One\\Two\\Three";
  HKEY key = kSentinelKey;
  DWORD disposition = kSentinel;
  WCHAR long_class[] = u"ClassNameOfTwentyChars";  // 22 characters: 66 bytes with the names
  EXPECT_EQ(RegCreateKeyExW(parent, path.c_str(), 0, long_class, 0, 0, nullptr, &key, &disposition),
            ERROR_DISK_FULL);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(disposition, kSentinel);
  HKEY opened = kSentinelKey;
  EXPECT_EQ(RegOpenKeyExW(parent, u"One", 0, 0, &opened), ERROR_FILE_NOT_FOUND);  // no part of the path was made

  WCHAR short_class[] = u"Cls";
  ASSERT_EQ(RegCreateKeyExW(parent, path.c_str(), 0, short_class, 0, 0, nullptr, &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  EXPECT_EQ(FreeBytes(), 12u);
  RegCloseKey(key);
  // Opening what exists takes no space, even on a full store.
  LeaveFree(0);
  ASSERT_EQ(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  // Deleting the tree frees all of it.
  ASSERT_EQ(RegDeleteKeyW(parent, u"One"), ERROR_SUCCESS);
  EXPECT_EQ(FreeBytes(), 28u);
  RegCloseKey(parent);
}

TEST_F(RegistrySpaceTest, TheFigureFollowsEveryKindOfChange) {
  ASSERT_EQ(RegistryBytesUsed(), CountedAfresh());
  WCHAR class_name[] = u"Holder";
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Figure\\Deep\\Er", class_name);
  EXPECT_EQ(RegistryBytesUsed(), CountedAfresh());
  ASSERT_EQ(SetBytes(key, u"v1", 300), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(key, u"v2", 10), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(key, u"V1", 50), ERROR_SUCCESS);   // shrinks, under another spelling
  ASSERT_EQ(SetBytes(key, u"v2", 700), ERROR_SUCCESS);  // grows
  EXPECT_EQ(RegistryBytesUsed(), CountedAfresh());
  ASSERT_EQ(RegDeleteValueW(key, u"v1"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"v1"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegistryBytesUsed(), CountedAfresh());
  HKEY sub = Create(key, u"Sub");
  ASSERT_EQ(SetBytes(sub, u"inside", 123), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Figure\\Deep"), ERROR_SUCCESS);
  EXPECT_EQ(RegistryBytesUsed(), CountedAfresh());
  // Writes through handles of deleted keys are refused and count nothing.
  EXPECT_EQ(SetBytes(sub, u"late", 500), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValueW(key, u"v2"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegistryBytesUsed(), CountedAfresh());
  RegCloseKey(sub);
  RegCloseKey(key);
}

TEST_F(RegistrySpaceTest, AnotherProcessesChangesReachTheFigureAndTheCapacity) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Shared");
  ASSERT_EQ(SetBytes(key, u"mine", 100), ERROR_SUCCESS);
  uint64_t before = RegistryBytesUsed();
  LeaveFree(5000);
  int code = RunAsOtherProgram([this] {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Shared", 0, 0, &k) != ERROR_SUCCESS) return 1;
    return SetBytes(k, u"theirs", 4000) == ERROR_SUCCESS ? 0 : 2;
  });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(RegistryBytesUsed(), before + 12 + 4000);
  EXPECT_EQ(RegistryBytesUsed(), CountedAfresh());
  EXPECT_EQ(FreeBytes(), 988u);
  EXPECT_EQ(SetBytes(key, u"more", 1000), ERROR_DISK_FULL);
  EXPECT_EQ(SetBytes(key, u"more", 980), ERROR_SUCCESS);
  EXPECT_EQ(RegistryBytesUsed(), CountedAfresh());
  RegCloseKey(key);
}

}  // namespace
}  // namespace cedev

// Conformance tests of the registry API: results, outputs left alone on
// failure (sentinels), CE's recursive delete, creation-order enumeration, and
// changes seen by every handle, thread and process at once.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ce/registry.h"
#include "api_expect.h"
#include "faults.h"
#include "other_program.h"
#include "scratch_device.h"
#include "sql.h"
#include "store_usage.h"

namespace cedev {
namespace {


class RegistryTest : public ::testing::Test {
 protected:
  HKEY Create(HKEY parent, const WCHAR* path, const WCHAR* class_name = nullptr) {
    HKEY key = kSentinelKey;
    DWORD disposition = kSentinel;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, const_cast<LPWSTR>(class_name), 0, 0, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    return key;
  }
  void SetDword(HKEY key, const WCHAR* name, DWORD value) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
  }
  void SetString(HKEY key, const WCHAR* name, std::u16string text) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
  }
  std::vector<std::u16string> SubkeyNames(HKEY key) {
    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i) {
      WCHAR name[260];
      DWORD length = 260;
      LONG rc = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc != ERROR_SUCCESS) {
        EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
        return names;
      }
      names.emplace_back(name, length);
    }
  }
  std::vector<std::u16string> ValueNames(HKEY key) {
    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i) {
      WCHAR name[260];
      DWORD length = 260;
      LONG rc = RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc != ERROR_SUCCESS) {
        EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
        return names;
      }
      names.emplace_back(name, length);
    }
  }

  ScratchDevice scratch_;
};

using Names = std::vector<std::u16string>;

TEST_F(RegistryTest, CreateMakesEveryMissingKeyAndReportsTheDisposition) {
  HKEY key = kSentinelKey;
  DWORD disposition = kSentinel;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Tolvane\\Settings", 0, nullptr, 0, 0, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_NE(key, kSentinelKey);
  EXPECT_NE(key, nullptr);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  disposition = kSentinel;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\tolvane\\settings", 0, nullptr, 0, 0, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // Names keep the spelling they were created with.
  HKEY software = kSentinelKey;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software", 0, KEY_ALL_ACCESS, &software), ERROR_SUCCESS);
  EXPECT_EQ(SubkeyNames(software), Names{u"Tolvane"});
  RegCloseKey(software);
}

TEST_F(RegistryTest, OpenFindsKeysWithoutRegardToCaseAndClearsTheResultOnFailure) {
  RegCloseKey(Create(HKEY_CURRENT_USER, u"\uFF21pp\\Sub"));  // full-width A
  HKEY key = kSentinelKey;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"\uFF41PP\\SUB", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_NE(key, kSentinelKey);
  RegCloseKey(key);

  key = kSentinelKey;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"\uFF21pp\\Missing", 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  key = kSentinelKey;
  EXPECT_EQ(RegOpenKeyExW(HKEY_USERS, u"\uFF21pp", 0, 0, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  // An empty subkey gives the key itself; for a root, the root handle.
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"", 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(key, HKEY_CLASSES_ROOT);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, nullptr, 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(key, HKEY_CLASSES_ROOT);
}

TEST_F(RegistryTest, BadHandlesAndArgumentsGetTheirErrors) {
  HKEY key = kSentinelKey;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"x", 0, 0, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExW(nullptr, u"x", 0, 0, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(uintptr_t{0x80000004}), u"x", 0, 0, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(static_cast<HKEY>(INVALID_HANDLE_VALUE), u"x", 0, 0, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);  // predefined: nothing to close

  HKEY closed = Create(HKEY_LOCAL_MACHINE, u"Closed");
  EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExW(closed, u"v", 0, REG_NONE, nullptr, 0), ERROR_INVALID_HANDLE);

  WCHAR name[8];
  DWORD length = 8;
  EXPECT_EQ(RegEnumKeyExW(HKEY_LOCAL_MACHINE, 0, nullptr, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegEnumKeyExW(HKEY_LOCAL_MACHINE, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegEnumValueW(HKEY_LOCAL_MACHINE, 0, nullptr, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  BYTE data[4];
  EXPECT_EQ(RegQueryValueExW(HKEY_LOCAL_MACHINE, u"v", nullptr, nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"v", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);

  // Malformed paths.
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"a\\\\b", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"\\a", 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_BAD_PATHNAME);
  EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryTest, NamesAndDataAreLimitedAsOnTheDevice) {
  std::u16string longest(CE_REG_MAX_NAME_LEN, u'k');
  std::u16string too_long(CE_REG_MAX_NAME_LEN + 1, u'k');
  HKEY key = kSentinelKey;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, too_long.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(key, nullptr);
  key = Create(HKEY_LOCAL_MACHINE, longest.c_str());
  ASSERT_NE(key, nullptr);

  std::vector<BYTE> data(CE_REG_MAX_DATA_SIZE + 1, 7);
  EXPECT_EQ(RegSetValueExW(key, longest.c_str(), 0, REG_BINARY, data.data(), CE_REG_MAX_DATA_SIZE), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, too_long.c_str(), 0, REG_BINARY, data.data(), 4), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExW(key, u"big", 0, REG_BINARY, data.data(), CE_REG_MAX_DATA_SIZE + 1),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ValueNames(key), Names{longest});
  RegCloseKey(key);
}

TEST_F(RegistryTest, ValuesComeBackWithTheirTypeAndExactBytes) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Types");
  const BYTE multi[] = {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0};
  const BYTE odd[] = {1, 2, 3};
  SetDword(key, u"dword", 42);
  SetString(key, u"sz", u"\u30cd\u30c3\u30c8");
  ASSERT_EQ(RegSetValueExW(key, u"multi", 0, REG_MULTI_SZ, multi, sizeof multi), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"odd", 0, REG_SZ, odd, sizeof odd), ERROR_SUCCESS);  // stored as given
  ASSERT_EQ(RegSetValueExW(key, u"empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"typed", 0, 0x1234, odd, 2), ERROR_SUCCESS);

  DWORD type = kSentinel, size = sizeof(DWORD), value = kSentinel;
  ASSERT_EQ(RegQueryValueExW(key, u"DWORD", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(value, 42u);

  BYTE buffer[32];
  std::memset(buffer, 0xAA, sizeof buffer);
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, u"sz", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  ASSERT_EQ(size, 8u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer), 4), std::u16string(u"\u30cd\u30c3\u30c8\0", 4));
  EXPECT_EQ(buffer[8], 0xAA);

  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, u"multi", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), std::vector<BYTE>(multi, multi + sizeof multi));
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, u"odd", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  size = kSentinel;
  ASSERT_EQ(RegQueryValueExW(key, u"empty", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 0u);
  ASSERT_EQ(RegQueryValueExW(key, u"typed", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, 0x1234u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, SizeQueriesAndShortBuffers) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Sizes");
  SetString(key, u"text", u"0123456789");  // 22 bytes

  DWORD type = kSentinel, size = kSentinel;
  ASSERT_EQ(RegQueryValueExW(key, u"text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 22u);

  BYTE buffer[32];
  std::memset(buffer, 0xAA, sizeof buffer);
  size = 21;
  type = kSentinel;
  EXPECT_EQ(RegQueryValueExW(key, u"text", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(buffer[0], 0xAA);  // nothing delivered

  // Missing values leave every output alone.
  type = kSentinel;
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExW(key, u"nothing", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(type, kSentinel);
  EXPECT_EQ(size, sizeof buffer);

  // Enumeration: short name buffer, then short data buffer.
  WCHAR name[8];
  std::fill(std::begin(name), std::end(name), u'#');
  DWORD length = 4;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(length, 4u);  // "text" needs 4 + 1
  EXPECT_EQ(name[0], u'#');
  length = 5;
  size = 10;
  type = kSentinel;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(buffer[0], 0xAA);
  length = 5;
  size = kSentinel;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"text");
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(size, 22u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DefaultValueHasTheEmptyName) {
  HKEY key = Create(HKEY_CLASSES_ROOT, u".txt");
  SetString(key, nullptr, u"txtfile");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 16u);
  WCHAR name[4] = {u'#', u'#', u'#', u'#'};
  DWORD length = 4;
  ASSERT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(name[0], 0);
  EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationFollowsCreationOrder) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Order");
  for (const WCHAR* sub : {u"zeta", u"Alpha", u"mid"}) RegCloseKey(Create(key, sub));
  EXPECT_EQ(SubkeyNames(key), (Names{u"zeta", u"Alpha", u"mid"}));

  SetDword(key, u"b", 1);
  SetDword(key, u"a", 2);
  SetDword(key, u"c", 3);
  SetDword(key, u"A", 4);  // an existing value keeps its place and its spelling
  EXPECT_EQ(ValueNames(key), (Names{u"b", u"a", u"c"}));
  DWORD value = 0, size = 4;
  ASSERT_EQ(RegQueryValueExW(key, u"a", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 4u);

  ASSERT_EQ(RegDeleteValueW(key, u"B"), ERROR_SUCCESS);
  SetDword(key, u"b", 5);  // a value made again goes to the end
  EXPECT_EQ(ValueNames(key), (Names{u"a", u"c", u"b"}));
  // Removing the newest value and making another keeps the order too.
  ASSERT_EQ(RegDeleteValueW(key, u"b"), ERROR_SUCCESS);
  SetDword(key, u"d", 6);
  SetDword(key, u"e", 7);
  EXPECT_EQ(ValueNames(key), (Names{u"a", u"c", u"d", u"e"}));
  SetDword(key, u"b", 5);
  EXPECT_EQ(RegDeleteValueW(key, u"b"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"b"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, SubkeyEnumerationReportsClassNamesAndShortBuffers) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Classes");
  RegCloseKey(Create(key, u"plain"));
  RegCloseKey(Create(key, u"classy", u"MyClass"));
  // Opening an existing key with another class keeps the first one.
  RegCloseKey(Create(key, u"classy", u"Other"));

  WCHAR name[260], cls[260];
  DWORD length = 260, class_length = 260;
  ASSERT_EQ(RegEnumKeyExW(key, 1, name, &length, nullptr, cls, &class_length, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"classy");
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(std::u16string(cls), u"MyClass");
  EXPECT_EQ(class_length, 7u);

  length = 260;
  class_length = 260;
  ASSERT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, cls, &class_length, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(cls), u"");
  EXPECT_EQ(class_length, 0u);

  std::fill(std::begin(name), std::end(name), u'#');
  length = 6;
  EXPECT_EQ(RegEnumKeyExW(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(name[0], u'#');
  length = 7;
  class_length = 3;
  EXPECT_EQ(RegEnumKeyExW(key, 1, name, &length, nullptr, cls, &class_length, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(class_length, 7u);
  EXPECT_EQ(name[0], u'#');

  length = 260;
  EXPECT_EQ(RegEnumKeyExW(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(name[0], u'#');

  DWORD subkeys = kSentinel, max_subkey = kSentinel, max_class = kSentinel, values = kSentinel;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &max_subkey, &max_class, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(max_subkey, 6u);
  EXPECT_EQ(max_class, 7u);
  EXPECT_EQ(values, 0u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeTreeAndOrphansItsHandles) {
  HKEY top = Create(HKEY_LOCAL_MACHINE, u"Doomed");
  HKEY deep = Create(top, u"a\\b\\c");
  SetDword(deep, u"v", 1);
  SetDword(top, u"w", 2);
  HKEY sibling = Create(HKEY_LOCAL_MACHINE, u"Survivor");

  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"doomed"), ERROR_SUCCESS);
  HKEY key = kSentinelKey;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Doomed\\a", 0, 0, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SubkeyNames(HKEY_LOCAL_MACHINE), Names{u"Survivor"});

  // Handles to the deleted keys, the top one and one below, now fail.
  DWORD size = 4;
  WCHAR name[16];
  DWORD length = 16;
  EXPECT_EQ(RegQueryValueExW(deep, u"v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueExW(top, u"w", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExW(top, u"w", 0, REG_NONE, nullptr, 0), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumValueW(top, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyExW(top, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCreateKeyExW(top, u"new", 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExW(top, u"a", 0, 0, &key), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValueW(top, u"w"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegFlushKey(top), ERROR_KEY_DELETED);

  // A key made again under the same name is a new key; old handles stay dead.
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"Doomed"));
  EXPECT_EQ(RegSetValueExW(top, u"w", 0, REG_NONE, nullptr, 0), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(top), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(deep), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"NoSuchKey"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
  // An empty subkey deletes the key the handle names.
  EXPECT_EQ(RegDeleteKeyW(sibling, u""), ERROR_SUCCESS);
  EXPECT_EQ(SubkeyNames(HKEY_LOCAL_MACHINE), Names{u"Doomed"});
  RegCloseKey(sibling);
}

TEST_F(RegistryTest, ChangesReachOtherHandlesAndThreadsAtOnce) {
  HKEY first = Create(HKEY_CURRENT_USER, u"Shared");
  HKEY second = Create(HKEY_CURRENT_USER, u"Shared");
  SetDword(first, u"one", 1);
  EXPECT_EQ(ValueNames(second), Names{u"one"});  // the snapshot of `second` is now loaded
  SetDword(first, u"two", 2);
  EXPECT_EQ(ValueNames(second), (Names{u"one", u"two"}));
  std::thread([&] { SetDword(second, u"three", 3); }).join();
  EXPECT_EQ(ValueNames(first), (Names{u"one", u"two", u"three"}));
  std::thread([&] { EXPECT_EQ(RegDeleteValueW(first, u"one"), ERROR_SUCCESS); }).join();
  EXPECT_EQ(ValueNames(second), (Names{u"two", u"three"}));
  RegCloseKey(first);
  RegCloseKey(second);
}

TEST_F(RegistryTest, ChangesReachOtherProcessesAndFlushIsDurable) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Cross");
  EXPECT_EQ(ValueNames(key), Names{});
  int code = RunAsOtherProgram([] {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Cross", 0, 0, &k) != ERROR_SUCCESS) return 1;
    DWORD v = 7;
    if (RegSetValueExW(k, u"FromChild", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) != ERROR_SUCCESS) return 1;
    return RegFlushKey(k) == ERROR_SUCCESS ? 0 : 2;
  });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(ValueNames(key), Names{u"FromChild"});
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  RegCloseKey(key);

  // After a flush the database file itself holds the value, without the
  // write-ahead log beside it.
  auto copy = scratch_.dir() / "flushed-copy.db";
  std::filesystem::copy_file(scratch_.dir() / "state.db", copy);
  SqlDb direct;
  ASSERT_TRUE(direct.Open(copy.string()));
  auto stmt = direct.Prepare("SELECT COUNT(*) FROM reg_values WHERE name = 'FromChild'");
  ASSERT_TRUE(stmt.Step());
  EXPECT_EQ(stmt.Int(0), 1);
}

TEST_F(RegistryTest, InjectedFaultsRefuseTheNamedOperationOnly) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"init");
  SetDword(key, u"kept", 1);
  ASSERT_TRUE(AddFault("reg.set", u"HKEY_LOCAL_MACHINE\\init\\Refused", ERROR_ACCESS_DENIED));
  DWORD v = 1;
  EXPECT_EQ(RegSetValueExW(key, u"refused", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExW(key, u"other", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), (Names{u"kept", u"other"}));

  ASSERT_TRUE(AddFault("reg.query", u"HKEY_LOCAL_MACHINE\\init\\kept", ERROR_READ_FAULT, 1));
  DWORD size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"kept", nullptr, nullptr, nullptr, &size), ERROR_READ_FAULT);
  EXPECT_EQ(RegQueryValueExW(key, u"kept", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);  // only once

  ASSERT_TRUE(AddFault("reg.open", u"HKEY_LOCAL_MACHINE\\init", ERROR_ACCESS_DENIED));
  HKEY other = kSentinelKey;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"INIT", 0, 0, &other), ERROR_ACCESS_DENIED);
  EXPECT_EQ(other, nullptr);
  ASSERT_TRUE(AddFault("reg.create", u"HKEY_LOCAL_MACHINE\\init\\*", ERROR_DISK_FULL));
  EXPECT_EQ(RegCreateKeyExW(key, u"sub", 0, nullptr, 0, 0, nullptr, &other, nullptr), ERROR_DISK_FULL);
  ASSERT_TRUE(AddFault("reg.delete", u"HKEY_LOCAL_MACHINE\\init", ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"init"), ERROR_ACCESS_DENIED);
  ClearFaults();
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"init"), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryTest, ValuesCountTowardsTheObjectStore) {
  uint64_t before = RegistryBytesUsed();
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Usage");  // 5 characters of name
  std::vector<BYTE> data(1000, 1);
  ASSERT_EQ(RegSetValueExW(key, u"blob", 0, REG_BINARY, data.data(), 1000), ERROR_SUCCESS);
  EXPECT_EQ(RegistryBytesUsed(), before + 10 + 8 + 1000);
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Usage"), ERROR_SUCCESS);
  EXPECT_EQ(RegistryBytesUsed(), before);
  RegCloseKey(key);
}

}  // namespace
}  // namespace cedev

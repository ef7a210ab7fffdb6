// The device tool's registry and database text, and the factory copy of the
// registry and databases.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ce/database.h"
#include "ce/handle.h"
#include "ce/registry.h"
#include "reg_text.h"
#include "scratch_device.h"

namespace cedev {
namespace {

void Set(HKEY key, const WCHAR* name, DWORD type, std::vector<uint8_t> data) {
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
}

std::vector<uint8_t> Utf16z(std::u16string s) {
  std::vector<uint8_t> out((s.size() + 1) * 2, 0);
  std::memcpy(out.data(), s.data(), s.size() * 2);
  return out;
}

HKEY CreateKey(HKEY parent, const WCHAR* path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
  return key;
}

TEST(RegText, ExportWritesEveryTypeExactly) {
  ScratchDevice scratch;
  HKEY app = CreateKey(HKEY_LOCAL_MACHINE, u"Software\\App");
  Set(app, nullptr, REG_SZ, Utf16z(u"default"));
  Set(app, u"Quote\"d\\", REG_SZ, Utf16z(u"C:\\say \"hi\" \u00e9"));
  Set(app, u"Count", REG_DWORD, {0x2a, 0, 0, 0});
  Set(app, u"Path", REG_EXPAND_SZ, Utf16z(u"%A%"));
  Set(app, u"List", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0});
  Set(app, u"Unterminated", REG_SZ, {'x', 0});
  Set(app, u"Short", REG_DWORD, {1, 2, 3});
  Set(app, u"Empty", REG_NONE, {});
  std::vector<uint8_t> long_data(30);
  for (size_t i = 0; i < long_data.size(); ++i) long_data[i] = static_cast<uint8_t>(i);
  Set(app, u"Long", REG_BINARY, long_data);
  RegCloseKey(CreateKey(app, u"Sub"));
  RegCloseKey(app);

  std::string text, error;
  ASSERT_TRUE(ExportRegistry("hklm\\software\\APP", &text, &error)) << error;
  EXPECT_EQ(text,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\App]\n"
            "@=\"default\"\n"
            "\"Quote\\\"d\\\\\"=\"C:\\\\say \\\"hi\\\" \xc3\xa9\"\n"
            "\"Count\"=dword:0000002a\n"
            "\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"
            "\"List\"=hex(7):61,00,00,00,00,00\n"
            "\"Unterminated\"=hex(1):78,00\n"
            "\"Short\"=hex(4):01,02,03\n"
            "\"Empty\"=hex(0):\n"
            "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
            "  16,17,18,19,1a,1b,1c,1d\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\App\\Sub]\n\n");

  EXPECT_FALSE(ExportRegistry("HKLM\\Software\\Nothing", &text, &error));
  EXPECT_NE(error.find("HKLM\\Software\\Nothing"), std::string::npos);
  EXPECT_FALSE(ExportRegistry("HKEY_NOWHERE\\x", &text, &error));

  ASSERT_TRUE(ExportRegistry("", &text, &error));
  EXPECT_EQ(text.find("[HKEY_CLASSES_ROOT]\n"), std::string("Windows Registry Editor Version 5.00\n\n").size());
  EXPECT_NE(text.find("[HKEY_USERS]\n"), std::string::npos);
}

TEST(RegText, ParsesCommandLineValues) {
  DWORD type = 0;
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ParseRegValue("sz", "h\xc3\xa9", &type, &bytes, &error));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'h', 0, 0xe9, 0, 0, 0}));
  ASSERT_TRUE(ParseRegValue("expand_sz", "%x%", &type, &bytes, &error));
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  ASSERT_TRUE(ParseRegValue("multi_sz", "a\\0bc", &type, &bytes, &error));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}));
  ASSERT_TRUE(ParseRegValue("dword", "0x2A", &type, &bytes, &error));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x2a, 0, 0, 0}));
  ASSERT_TRUE(ParseRegValue("dword", "4294967295", &type, &bytes, &error));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xff, 0xff, 0xff, 0xff}));
  ASSERT_TRUE(ParseRegValue("binary", "01,AB ff", &type, &bytes, &error));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x01, 0xab, 0xff}));

  EXPECT_FALSE(ParseRegValue("dword", "4294967296", &type, &bytes, &error));
  EXPECT_FALSE(ParseRegValue("dword", "-1", &type, &bytes, &error));
  EXPECT_FALSE(ParseRegValue("dword", "12abc", &type, &bytes, &error));
  EXPECT_FALSE(ParseRegValue("binary", "abc", &type, &bytes, &error));
  EXPECT_FALSE(ParseRegValue("qword", "1", &type, &bytes, &error));
  EXPECT_NE(error.find("qword"), std::string::npos);
}

CEOID MakeDatabaseWithRecord(const WCHAR* name) {
  SORTORDERSPEC sort{PROPID_FROM_ID_TYPE(1, CEVT_LPWSTR), CEDB_SORT_CASEINSENSITIVE};
  CEOID oid = CeCreateDatabase(const_cast<LPWSTR>(name), 0x42, 1, &sort);
  CEOID id = oid;
  HANDLE db = CeOpenDatabase(&id, nullptr, 0, 0, nullptr);
  BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LPTR, 2 * sizeof(CEPROPVAL) + 6));
  auto* props = reinterpret_cast<CEPROPVAL*>(buffer);
  props[0].propid = PROPID_FROM_ID_TYPE(1, CEVT_LPWSTR);
  std::memcpy(buffer + 2 * sizeof(CEPROPVAL), u"Hi", 6);
  props[0].val.lpwstr = DeviceAddress(buffer + 2 * sizeof(CEPROPVAL));
  props[1].propid = PROPID_FROM_ID_TYPE(2, CEVT_I4);
  props[1].val.lVal = -7;
  EXPECT_NE(CeWriteRecordProps(db, 0, 2, props), 0u);
  LocalFree(buffer);
  CloseHandle(db);
  return oid;
}

TEST(RegText, ListsAndDumpsDatabases) {
  ScratchDevice scratch;
  CEOID oid = MakeDatabaseWithRecord(u"Notes");
  std::string text, error;
  ASSERT_TRUE(ListDatabases(&text, &error));
  char oid_text[16];
  std::snprintf(oid_text, sizeof oid_text, "0x%08x", oid);
  EXPECT_EQ(text, std::string(oid_text) +
                      " \"Notes\" type 0x00000042, 1 records, 38 bytes, sort 0x0001001f caseinsensitive\n");
  ASSERT_TRUE(DumpDatabases("notes", &text, &error));
  EXPECT_NE(text.find("    0x0001001f lpwstr \"Hi\"\n    0x00020003 i4 -7\n"), std::string::npos) << text;
  EXPECT_FALSE(DumpDatabases("missing", &text, &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(RegText, FactoryCopyPutsRegistryAndDatabasesBack) {
  ScratchDevice scratch;
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, u"Factory\\Kept");
  Set(key, u"v", REG_DWORD, {1, 0, 0, 0});
  RegCloseKey(key);
  CEOID oid = MakeDatabaseWithRecord(u"Factory db");
  auto factory = scratch.dir() / "factory" / "state.db";
  std::string error;
  ASSERT_TRUE(SaveRegistryAndDatabasesToFactory(factory, &error)) << error;

  // Change everything, with a handle whose snapshot is loaded.
  HKEY root = CreateKey(HKEY_LOCAL_MACHINE, u"Factory");
  WCHAR name[64];
  DWORD length = 64;
  ASSERT_EQ(RegEnumKeyExW(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyW(root, u"Kept"), ERROR_SUCCESS);
  RegCloseKey(CreateKey(root, u"Added"));
  ASSERT_TRUE(CeDeleteDatabase(oid));
  EXPECT_NE(CeCreateDatabase(const_cast<LPWSTR>(u"Later"), 0, 0, nullptr), 0u);

  ASSERT_TRUE(RestoreRegistryAndDatabasesFromFactory(factory, &error)) << error;
  length = 64;
  ASSERT_EQ(RegEnumKeyExW(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"Kept");
  length = 64;
  EXPECT_EQ(RegEnumKeyExW(root, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(root);
  std::string text;
  ASSERT_TRUE(ListDatabases(&text, &error));
  EXPECT_NE(text.find("\"Factory db\""), std::string::npos);
  EXPECT_EQ(text.find("Later"), std::string::npos);
  CEOIDINFO info;
  ASSERT_TRUE(CeOidGetInfo(oid, &info));
  EXPECT_EQ(info.infDatabase.wNumRecords, 1);
  // New objects never reuse the ids the factory image holds.
  CEOID fresh = CeCreateDatabase(const_cast<LPWSTR>(u"Fresh"), 0, 0, nullptr);
  EXPECT_GT(fresh, oid);

  EXPECT_FALSE(RestoreRegistryAndDatabasesFromFactory(scratch.dir() / "nothing.db", &error));
  EXPECT_NE(error.find("nothing.db"), std::string::npos);
}

}  // namespace
}  // namespace cedev

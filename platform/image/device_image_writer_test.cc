// The sample image written onto a device through the API: what a program
// then finds there, read back through the same API.
#include <gtest/gtest.h>

#include <set>

#include <windows.h>

#include "api_expect.h"
#include "device_image.h"
#include "sample_image.h"
#include "scratch_device.h"

namespace cedev {
namespace {

class SampleOnDevice : public ::testing::Test {
 protected:
  // Every file is read back through the file API here, so the system
  // holds none of them open.
  static DeviceSettings Settings() {
    DeviceSettings s = SampleSettings();
    s.held_files.clear();
    return s;
  }
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(WriteDeviceImage(SampleImage(), &error)) << error;
  }
  ScratchDevice dev_{Settings()};
};

uint64_t Ticks(const FILETIME& ft) { return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

TEST_F(SampleOnDevice, FilesKeepAttributesTimesAndContent) {
  for (const ImageFile& f : SampleImage().files) {
    DWORD attributes = GetFileAttributesW(f.path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << std::string(f.path.begin(), f.path.end());
    DWORD wanted = f.attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrInRom);
    EXPECT_EQ(attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrInRom), wanted);
    HANDLE h = CreateFileW(f.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME created{1, 1}, accessed{1, 1}, written{1, 1};
    ASSERT_TRUE(GetFileTime(h, &created, &accessed, &written));
    EXPECT_EQ(Ticks(created), f.create_time);
    EXPECT_EQ(Ticks(written), f.write_time);
    std::vector<uint8_t> back(f.data.size() + 1, 0xCC);
    DWORD got = 0xDEAD;
    ASSERT_TRUE(ReadFile(h, back.data(), static_cast<DWORD>(back.size()), &got, nullptr));
    CloseHandle(h);
    back.resize(got);
    EXPECT_EQ(back, f.data);
  }
}

TEST_F(SampleOnDevice, FoldersCarryTheirImageTimes) {
  for (const ImageFolder& f : SampleImage().folders) {
    WIN32_FIND_DATAW fd{};
    HANDLE find = FindFirstFileW(f.path.c_str(), &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_TRUE(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(Ticks(fd.ftLastWriteTime), f.time);
    EXPECT_EQ(Ticks(fd.ftCreationTime), f.time);
  }
}

TEST_F(SampleOnDevice, RomFilesRefuseWritesAndMountedFoldersLookLikeStorage) {
  EXPECT_FAILS_WITH(CreateFileW(u"\\Windows\\ModelSetup.ini", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileW(u"\\Windows\\tolvane.exe"), FALSE, ERROR_ACCESS_DENIED);
  for (const char16_t* folder : {u"\\Release", u"\\ネットワーク", u"\\FlashDisk", u"\\Storage Card"}) {
    DWORD a = GetFileAttributesW(folder);
    EXPECT_EQ(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY),
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
  }
  EXPECT_FALSE(GetFileAttributesW(u"\\My Documents") & FILE_ATTRIBUTE_TEMPORARY);
}

TEST_F(SampleOnDevice, RegistryValuesComeBackWithTypeAndBytes) {
  for (const ImageKey& k : SampleImage().keys) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(static_cast<uintptr_t>(k.root)), k.path.c_str(), 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    for (const ImageValue& v : k.values) {
      DWORD type = 0xDEAD, size = 4096;
      std::vector<BYTE> data(size, 0xCC);
      ASSERT_EQ(RegQueryValueExW(key, v.name.c_str(), nullptr, &type, data.data(), &size), ERROR_SUCCESS);
      EXPECT_EQ(type, static_cast<DWORD>(v.type));
      data.resize(size);
      EXPECT_EQ(data, v.data);
    }
    RegCloseKey(key);
  }
}

TEST_F(SampleOnDevice, KeysKeepTheirClassNames) {
  HKEY util = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Velta\\UTIL", 0, KEY_ALL_ACCESS, &util), ERROR_SUCCESS);
  WCHAR name[MAX_PATH], cls[MAX_PATH];
  DWORD name_len = MAX_PATH, cls_len = MAX_PATH;
  ASSERT_EQ(RegEnumKeyExW(util, 0, name, &name_len, nullptr, cls, &cls_len, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name, name_len), u"RESTORE");
  EXPECT_EQ(std::u16string(cls, cls_len), u"VeltaUtil");
  RegCloseKey(util);
}

TEST_F(SampleOnDevice, DatabasesHaveTheirRecordsAndSortOrders) {
  for (const ImageDatabase& db : SampleImage().databases) {
    CEOID oid = 0;
    HANDLE h = CeOpenDatabase(&oid, const_cast<LPWSTR>(db.name.c_str()), 0, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    CEOIDINFO info{};
    ASSERT_TRUE(CeOidGetInfo(oid, &info));
    EXPECT_EQ(info.infDatabase.wNumRecords, db.records.size());
    EXPECT_EQ(info.infDatabase.dwDbaseType, db.type);
    ASSERT_EQ(info.infDatabase.wNumSortOrder, db.sort_orders.size());
    for (size_t i = 0; i < db.sort_orders.size(); ++i) {
      EXPECT_EQ(info.infDatabase.rgSortSpecs[i].propid, db.sort_orders[i].PropId());
      EXPECT_EQ(info.infDatabase.rgSortSpecs[i].dwFlags, db.sort_orders[i].flags);
    }
  }
}

// Strings and blobs went in from one record buffer; they must come back whole.
TEST_F(SampleOnDevice, StringAndBlobPropertiesSurviveTheWrite) {
  const DeviceImage image = SampleImage();
  const ImageDatabase& log = image.databases.back();
  std::multiset<std::pair<std::u16string, std::vector<uint8_t>>> wanted, found;
  for (const auto& rec : log.records) wanted.insert({rec[1].text, rec[3].bytes});
  CEOID oid = 0;
  HANDLE h = CeOpenDatabase(&oid, const_cast<LPWSTR>(log.name.c_str()), 0, CEDB_AUTOINCREMENT, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  for (;;) {
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    WORD count = 0;
    if (!CeReadRecordProps(h, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size)) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
      break;
    }
    auto* props = reinterpret_cast<CEPROPVAL*>(buffer);
    std::u16string code;
    std::vector<uint8_t> blob;
    for (WORD i = 0; i < count; ++i) {
      if (props[i].propid == log.records[0][1].PropId()) {
        code = static_cast<const char16_t*>(CeAddressToPointer(buffer, props[i].val.lpwstr));
      } else if (props[i].propid == log.records[0][3].PropId()) {
        auto* b = static_cast<const uint8_t*>(CeAddressToPointer(buffer, props[i].val.blob.lpb));
        blob.assign(b, b + props[i].val.blob.dwCount);
      }
    }
    found.insert({code, blob});
    LocalFree(buffer);
  }
  CloseHandle(h);
  EXPECT_EQ(found, wanted);
}

}  // namespace
}  // namespace cedev

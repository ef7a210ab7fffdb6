// The database nodes on a scratch device: record layout, pointer and
// offset conversion, round trips, databases in use, failures and hostile
// record blocks.
#include "db_nodes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <variant>

#include "data_nodes.h"
#include "data_test_util.h"
#include "device_control.h"
#include "records.h"
#include "scratch_device.h"

namespace {

// One property: a number, a string or a blob.
struct Prop {
  CEPROPID id;
  std::variant<int32_t, std::u16string, Bytes> value;
};
using Record = std::vector<Prop>;

constexpr CEPROPID kName = PROPID_FROM_ID_TYPE(1, CEVT_LPWSTR);
constexpr CEPROPID kAge = PROPID_FROM_ID_TYPE(2, CEVT_I4);
constexpr CEPROPID kPhoto = PROPID_FROM_ID_TYPE(3, CEVT_BLOB);
constexpr CEPROPID kNote = PROPID_FROM_ID_TYPE(4, CEVT_LPWSTR);

Bytes Le32(DWORD v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

HANDLE Open(const std::u16string& name, DWORD flags = 0) {
  CEOID oid = 0;
  return CeOpenDatabase(&oid, const_cast<LPWSTR>(name.c_str()), 0, flags, nullptr);
}

// A record buffer in the device's layout, from the local heap.
BYTE* BuildBuffer(const Record& record, DWORD* size) {
  DWORD data = 0;
  for (const Prop& p : record) {
    if (auto* s = std::get_if<std::u16string>(&p.value)) data += DWORD(2 * (s->size() + 1));
    if (auto* b = std::get_if<Bytes>(&p.value)) data += DWORD(b->size());
  }
  *size = DWORD(record.size() * sizeof(CEPROPVAL)) + data;
  BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LPTR, *size));
  BYTE* next = buffer + record.size() * sizeof(CEPROPVAL);
  for (size_t i = 0; i < record.size(); ++i) {
    CEPROPVAL* v = reinterpret_cast<CEPROPVAL*>(buffer) + i;
    v->propid = record[i].id;
    if (auto* n = std::get_if<int32_t>(&record[i].value)) v->val.lVal = *n;
    if (auto* s = std::get_if<std::u16string>(&record[i].value)) {
      std::memcpy(next, s->c_str(), 2 * (s->size() + 1));
      v->val.lpwstr = DeviceAddress(next);
      next += 2 * (s->size() + 1);
    }
    if (auto* b = std::get_if<Bytes>(&record[i].value)) {
      if (!b->empty()) std::memcpy(next, b->data(), b->size());
      v->val.blob = {DWORD(b->size()), DeviceAddress(next)};
      next += b->size();
    }
  }
  return buffer;
}

bool AddRecord(const std::u16string& db, const Record& record) {
  HANDLE h = Open(db);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD size = 0;
  BYTE* buffer = BuildBuffer(record, &size);
  CEOID oid = CeWriteRecordProps(h, 0, WORD(record.size()), reinterpret_cast<CEPROPVAL*>(buffer));
  LocalFree(buffer);
  CloseHandle(h);
  return oid != 0;
}

// Every record as (property id, value bytes) lists, in the database's order.
std::vector<std::vector<std::pair<CEPROPID, Bytes>>> Dump(const std::u16string& db) {
  std::vector<std::vector<std::pair<CEPROPID, Bytes>>> out;
  HANDLE h = Open(db, CEDB_AUTOINCREMENT);
  if (h == INVALID_HANDLE_VALUE) return out;
  for (;;) {
    WORD count = 0;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    if (!CeReadRecordProps(h, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size)) break;
    std::vector<std::pair<CEPROPID, Bytes>> record;
    for (WORD i = 0; i < count; ++i) {
      CEPROPVAL* v = reinterpret_cast<CEPROPVAL*>(buffer) + i;
      Bytes value;
      if (TypeFromPropID(v->propid) == CEVT_LPWSTR) {
        auto* s = static_cast<const char16_t*>(CeAddressToPointer(buffer, v->val.lpwstr));
        for (; *s; ++s) value.insert(value.end(), {uint8_t(*s), uint8_t(*s >> 8)});
      } else if (TypeFromPropID(v->propid) == CEVT_BLOB) {
        auto* b = static_cast<const uint8_t*>(CeAddressToPointer(buffer, v->val.blob.lpb));
        value.assign(b, b + v->val.blob.dwCount);
      } else {
        value.assign(reinterpret_cast<uint8_t*>(&v->val), reinterpret_cast<uint8_t*>(&v->val) + 8);
      }
      record.emplace_back(v->propid, value);
    }
    LocalFree(buffer);
    out.push_back(record);
  }
  CloseHandle(h);
  return out;
}

CEDBASEINFO Info(const std::u16string& db) {
  CEDBASEINFO info{};
  HANDLE h = Open(db);
  if (h == INVALID_HANDLE_VALUE) return info;
  CEOID oid = 0;
  CloseHandle(h);
  HANDLE again = CeOpenDatabase(&oid, const_cast<LPWSTR>(db.c_str()), 0, 0, nullptr);
  CloseHandle(again);
  CEOIDINFO oidInfo{};
  if (CeOidGetInfo(oid, &oidInfo)) info = oidInfo.infDatabase;
  return info;
}

bool DatabaseExists(const std::u16string& db) {
  HANDLE h = Open(db);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

class DbNodesTest : public ::testing::Test {
 protected:
  void SetUp() override { InitDataNodes(); }
  void TearDown() override { cedev::ClearFaults(); }

  CEOID Create(const std::u16string& name, DWORD type, std::vector<SORTORDERSPEC> sorts = {}) {
    return CeCreateDatabase(const_cast<LPWSTR>(name.c_str()), type, WORD(sorts.size()), sorts.data());
  }

  Bytes Backup(BOOL* ok = nullptr) {
    ResetJobStatus(JOB_OPERATION_BACKUP);
    MDatabaseFolderNode folder(nullptr);
    MMemoryStream out;
    BOOL saved = folder.Save(&out);
    if (ok) *ok = saved;
    return Bytes(out.Data(), out.Data() + out.Size());
  }

  BOOL Restore(const Bytes& folderRecord) {
    ResetJobStatus(JOB_OPERATION_RESTORE);
    Bytes stream = {1, 0, 0, 0, 0, 0};
    stream.insert(stream.end(), folderRecord.begin(), folderRecord.end());
    stream.insert(stream.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    MMemoryStream in(stream.data(), DWORD(stream.size()));
    MBackupNode* root = ReadNode(nullptr, &in);
    BOOL ok = root && root->Restore(&in);
    delete root;
    return ok;
  }

  void PopulateContacts() {
    ASSERT_NE(Create(u"Contacts", 0x1234, {{kName, CEDB_SORT_CASEINSENSITIVE}, {kAge, CEDB_SORT_DESCENDING}}), 0u);
    ASSERT_TRUE(AddRecord(u"Contacts", {{kName, u"\u5c71\u7530 Taro"}, {kAge, 42}, {kPhoto, Bytes{0, 1, 2, 0, 0xFF}}}));
    ASSERT_TRUE(AddRecord(u"Contacts", {{kName, u"Anna"}, {kNote, u""}, {kPhoto, Bytes{}}}));
    ASSERT_TRUE(AddRecord(u"Contacts", {{kAge, -7}, {kNote, std::u16string(2000, u'z')}}));
  }

  cedev::ScratchDevice dev_;
};

Bytes Header(const std::string& name, DWORD type, std::vector<std::pair<DWORD, DWORD>> sorts) {
  Bytes b = Le32(0x301);
  b.insert(b.end(), {uint8_t(name.size()), 0});
  b.insert(b.end(), name.size(), 0);
  b.insert(b.end(), name.begin(), name.end());
  auto t = Le32(type);
  b.insert(b.end(), t.begin(), t.end());
  b.insert(b.end(), {uint8_t(sorts.size()), uint8_t(sorts.size() >> 8)});
  for (auto [id, flags] : sorts) {
    for (DWORD v : {id, flags}) {
      auto le = Le32(v);
      b.insert(b.end(), le.begin(), le.end());
    }
  }
  return b;
}

Bytes FolderRecord(const std::vector<Bytes>& databases) {
  Bytes b = Le32(0x300);
  b.insert(b.end(), {8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'D', 'A', 'T', 'A', 'B', 'A', 'S', 'E'});
  for (const Bytes& d : databases) b.insert(b.end(), d.begin(), d.end());
  b.insert(b.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  return b;
}

// ---- Layout

TEST_F(DbNodesTest, DatabaseWithoutSortOrdersOrRecordsIsItsDescriptionAndAZeroCount) {
  ASSERT_NE(Create(u"Bare", 7), 0u);
  Bytes expected = Header("Bare", 7, {});
  expected.insert(expected.end(), {0, 0});
  EXPECT_EQ(Backup(), FolderRecord({expected}));
}

TEST_F(DbNodesTest, SortOrdersAreWrittenAsIdAndFlagsPairs) {
  ASSERT_NE(Create(u"S", 1, {{kName, 2}, {kAge, 1}}), 0u);
  Bytes expected = Header("S", 1, {{kName, 2}, {kAge, 1}});
  expected.insert(expected.end(), {0, 0});
  EXPECT_EQ(Backup(), FolderRecord({expected}));
}

TEST_F(DbNodesTest, RecordBlockCarriesOffsetsNotAddresses) {
  ASSERT_NE(Create(u"R", 1), 0u);
  ASSERT_TRUE(AddRecord(u"R", {{kName, u"ab"}, {kPhoto, Bytes{9, 8, 7}}, {kAge, 5}}));
  Bytes record = Backup();
  // Header, then count 3, size, three entries and the data behind them.
  size_t at = FolderRecord({}).size() - 4 + Header("R", 1, {}).size();
  ASSERT_GT(record.size(), at + 6 + 48);
  EXPECT_EQ(record[at], 3);
  DWORD size = record[at + 2] | record[at + 3] << 8 | record[at + 4] << 16 | record[at + 5] << 24;
  EXPECT_GE(size, 48u + 6u + 3u);  // the platform may align the data behind the entries
  const BYTE* buffer = record.data() + at + 6;
  for (int i = 0; i < 3; ++i) {
    CEPROPVAL v;
    std::memcpy(&v, buffer + 16 * i, 16);
    if (TypeFromPropID(v.propid) == CEVT_LPWSTR) {
      EXPECT_GE(v.val.lpwstr, 48u);
      EXPECT_EQ(std::memcmp(buffer + v.val.lpwstr, u"ab", 6), 0);
    } else if (TypeFromPropID(v.propid) == CEVT_BLOB) {
      EXPECT_EQ(v.val.blob.dwCount, 3u);
      EXPECT_EQ(std::memcmp(buffer + v.val.blob.lpb, "\x09\x08\x07", 3), 0);
    } else {
      EXPECT_EQ(v.val.lVal, 5);
    }
  }
  // The same database backed up again gives the same bytes: nothing in the
  // archive depends on where the buffers lay.
  EXPECT_EQ(Backup(), record);
}

TEST(DbOffsets, OnlyStringAndBlobEntriesChange) {
  alignas(8) BYTE buffer[64 + 8] = {};
  CEPROPVAL v[4] = {};
  v[0].propid = PROPID_FROM_ID_TYPE(1, CEVT_LPWSTR);
  v[0].val.lpwstr = DeviceAddress(buffer + 64);
  v[1].propid = PROPID_FROM_ID_TYPE(2, CEVT_BLOB);
  v[1].val.blob = {4, DeviceAddress(buffer + 66)};
  v[2].propid = PROPID_FROM_ID_TYPE(3, CEVT_I4);
  v[2].val.ulVal = 0x11223344;
  v[3].propid = PROPID_FROM_ID_TYPE(4, CEVT_FILETIME);
  v[3].val.filetime = {0xAABBCCDD, 0x01020304};
  std::memcpy(buffer, v, sizeof v);
  MDatabaseNode::PointersToOffsets(buffer, 4);
  CEPROPVAL after[4];
  std::memcpy(after, buffer, sizeof after);
  EXPECT_EQ(after[0].val.lpwstr, 64u);
  EXPECT_EQ(after[1].val.blob.dwCount, 4u);
  EXPECT_EQ(after[1].val.blob.lpb, 66u);
  EXPECT_EQ(after[2].val.ulVal, 0x11223344u);
  EXPECT_EQ(after[3].val.filetime.dwLowDateTime, 0xAABBCCDDu);
  EXPECT_EQ(after[3].val.filetime.dwHighDateTime, 0x01020304u);
  EXPECT_TRUE(MDatabaseNode::OffsetsToPointers(buffer, 4, sizeof buffer));
  EXPECT_EQ(std::memcmp(buffer, v, sizeof v), 0);
}

TEST(DbOffsets, OffsetsOutsideTheBufferAreRefused) {
  alignas(8) BYTE buffer[40] = {};
  CEPROPVAL v{};
  v.propid = PROPID_FROM_ID_TYPE(1, CEVT_LPWSTR);
  for (DWORD offset : {0u, 8u, 40u, 0xFFFFFFF0u}) {
    v.val.lpwstr = offset;
    std::memcpy(buffer, &v, 16);
    EXPECT_FALSE(MDatabaseNode::OffsetsToPointers(buffer, 1, sizeof buffer)) << offset;
  }
  // A string without its terminator inside the buffer.
  std::memset(buffer + 16, 'x', sizeof buffer - 16);
  v.val.lpwstr = 16;
  std::memcpy(buffer, &v, 16);
  EXPECT_FALSE(MDatabaseNode::OffsetsToPointers(buffer, 1, sizeof buffer));
  v.propid = PROPID_FROM_ID_TYPE(1, CEVT_BLOB);
  v.val.blob = {25, 16};
  std::memcpy(buffer, &v, 16);
  EXPECT_FALSE(MDatabaseNode::OffsetsToPointers(buffer, 1, sizeof buffer));
  v.val.blob = {24, 16};
  std::memcpy(buffer, &v, 16);
  EXPECT_TRUE(MDatabaseNode::OffsetsToPointers(buffer, 1, sizeof buffer));
  EXPECT_FALSE(MDatabaseNode::OffsetsToPointers(buffer, 3, sizeof buffer));  // entries past the end
}

// ---- Round trips

TEST_F(DbNodesTest, StringsAndBlobsComeBackIntact) {
  PopulateContacts();
  auto before = Dump(u"Contacts");
  ASSERT_EQ(before.size(), 3u);
  Bytes record = Backup();
  CEOID oid = 0;
  CloseHandle(CeOpenDatabase(&oid, const_cast<LPWSTR>(u"Contacts"), 0, 0, nullptr));
  ASSERT_TRUE(CeDeleteDatabase(oid));

  ASSERT_TRUE(Restore(record));
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_EQ(Dump(u"Contacts"), before);
  CEDBASEINFO info = Info(u"Contacts");
  EXPECT_EQ(info.dwDbaseType, 0x1234u);
  ASSERT_EQ(info.wNumSortOrder, 2);
  EXPECT_EQ(info.rgSortSpecs[0].propid, kName);
  EXPECT_EQ(info.rgSortSpecs[1].dwFlags, DWORD(CEDB_SORT_DESCENDING));
}

TEST_F(DbNodesTest, RestoreReplacesTheDatabaseWhole) {
  PopulateContacts();
  Bytes record = Backup();
  auto before = Dump(u"Contacts");
  ASSERT_TRUE(AddRecord(u"Contacts", {{kName, u"Added later"}}));
  ASSERT_TRUE(Restore(record));
  EXPECT_EQ(Dump(u"Contacts"), before);
}

TEST_F(DbNodesTest, EmptyDatabaseAndNoSortOrdersComeBackSo) {
  ASSERT_NE(Create(u"Empty", 3), 0u);
  Bytes record = Backup();
  ASSERT_TRUE(AddRecord(u"Empty", {{kAge, 1}}));
  ASSERT_TRUE(Restore(record));
  EXPECT_TRUE(Dump(u"Empty").empty());
  EXPECT_EQ(Info(u"Empty").wNumSortOrder, 0);
}

TEST_F(DbNodesTest, DatabasesTheArchiveLacksAreLeftAlone) {
  PopulateContacts();
  Bytes record = Backup();
  ASSERT_NE(Create(u"Newer", 9), 0u);
  ASSERT_TRUE(AddRecord(u"Newer", {{kAge, 99}}));
  ASSERT_TRUE(Restore(record));
  EXPECT_EQ(Dump(u"Newer").size(), 1u);
}

TEST_F(DbNodesTest, DatabaseOpenElsewhereIsEmptiedAndRefilled) {
  PopulateContacts();
  Bytes record = Backup();
  auto before = Dump(u"Contacts");
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(AddRecord(u"Contacts", {{kName, u"extra"}, {kAge, i}}));
  // Archive claims another type and no sort orders; an emptied database keeps its own.
  Bytes edited = record;
  HANDLE holder = Open(u"Contacts");
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  CEOID oid = 0;
  CloseHandle(CeOpenDatabase(&oid, const_cast<LPWSTR>(u"Contacts"), 0, 0, nullptr));
  if (CeDeleteDatabase(oid)) {
    CloseHandle(holder);
    GTEST_SKIP() << "the device lets this process delete a database it holds open";
  }
  ASSERT_TRUE(Restore(edited));
  CloseHandle(holder);
  EXPECT_EQ(JobStatus, STATUS_OK);
  auto after = Dump(u"Contacts");
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(after, before);
}

// ---- Failures

TEST_F(DbNodesTest, BackupOfADatabaseThatCannotBeOpenedFails) {
  PopulateContacts();
  ASSERT_TRUE(cedev::AddFault("db.open", u"Contacts", ERROR_SHARING_VIOLATION));
  BOOL ok = TRUE;
  Backup(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
}

TEST_F(DbNodesTest, RecordReadFailureOtherThanTheEndFails) {
  PopulateContacts();
  ASSERT_TRUE(cedev::AddFault("db.read", u"Contacts", ERROR_READ_FAULT));
  BOOL ok = TRUE;
  Backup(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
}

TEST_F(DbNodesTest, DatabaseThatCannotBeCreatedFailsWithDeviceWrite) {
  PopulateContacts();
  Bytes record = Backup();
  ASSERT_TRUE(cedev::AddFault("db.create", u"Contacts", ERROR_DISK_FULL));
  EXPECT_FALSE(Restore(record));
  EXPECT_EQ(JobStatus, STATUS_DEVICE_WRITE_FAILED);
}

TEST_F(DbNodesTest, RecreatedDatabaseThatCannotBeOpenedForWritingFailsTheRestore) {
  PopulateContacts();
  Bytes record = Backup();
  CEOID oid = 0;
  CloseHandle(CeOpenDatabase(&oid, const_cast<LPWSTR>(u"Contacts"), 0, 0, nullptr));
  ASSERT_TRUE(CeDeleteDatabase(oid));
  // Missing on the device, so the fault meets the open after the creation.
  ASSERT_TRUE(cedev::AddFault("db.open", u"Contacts", ERROR_SHARING_VIOLATION, 1));
  EXPECT_FALSE(Restore(record));
  EXPECT_EQ(JobStatus, STATUS_DEVICE_WRITE_FAILED);
}

TEST_F(DbNodesTest, RecordThatCannotBeWrittenFailsAndKeepsWhatWasWritten) {
  PopulateContacts();
  Bytes record = Backup();
  ASSERT_TRUE(cedev::AddFault("db.write", u"Contacts", ERROR_DISK_FULL));
  EXPECT_FALSE(Restore(record));
  EXPECT_EQ(JobStatus, STATUS_DEVICE_WRITE_FAILED);
  EXPECT_TRUE(DatabaseExists(u"Contacts"));
}

// ---- Hostile record blocks

TEST_F(DbNodesTest, SortOrderCountAboveFourIsRefusedBeforeAnythingChanges) {
  PopulateContacts();
  auto before = Dump(u"Contacts");
  Bytes db = Header("Contacts", 1, {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}});
  db.insert(db.end(), {0, 0});
  EXPECT_FALSE(Restore(FolderRecord({db})));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  EXPECT_EQ(Dump(u"Contacts"), before);
}

TEST_F(DbNodesTest, BlocksWithImpossibleSizesOrOffsetsFailCleanly) {
  struct Case {
    WORD count;
    DWORD size;
    Bytes body;
  };
  CEPROPVAL far{};
  far.propid = kName;
  far.val.lpwstr = 0x7FFFFFF0;
  Bytes farBody(reinterpret_cast<BYTE*>(&far), reinterpret_cast<BYTE*>(&far) + 16);
  farBody.insert(farBody.end(), {'a', 0, 0, 0});
  const Case cases[] = {
      {1, 0xFFFFFFF0u, {}},                  // gigabytes claimed
      {4, 16, Bytes(16, 0)},                 // smaller than its entries
      {1, DWORD(farBody.size()), farBody},   // string far outside
      {1, 100, Bytes(20, 0)},                // the archive ends first
  };
  for (const Case& c : cases) {
    Bytes db = Header("Hostile", 1, {});
    db.insert(db.end(), {uint8_t(c.count), uint8_t(c.count >> 8)});
    auto size = Le32(c.size);
    db.insert(db.end(), size.begin(), size.end());
    db.insert(db.end(), c.body.begin(), c.body.end());
    db.insert(db.end(), {0, 0});
    EXPECT_FALSE(Restore(FolderRecord({db}))) << c.size;
    EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED) << c.size;
  }
}

}  // namespace

#include "database_store.h"

#include <cstring>

#include "clock.h"
#include "device_folder.h"
#include "shared_counters.h"
#include "wstr.h"

namespace cedev {
namespace {

std::vector<uint8_t> EncodeSorts(const std::vector<SORTORDERSPEC>& sorts) {
  std::vector<uint8_t> out(sorts.size() * sizeof(SORTORDERSPEC));
  if (!sorts.empty()) std::memcpy(out.data(), sorts.data(), out.size());
  return out;
}

std::vector<SORTORDERSPEC> DecodeSorts(const std::vector<uint8_t>& bytes) {
  std::vector<SORTORDERSPEC> sorts(bytes.size() / sizeof(SORTORDERSPEC));
  if (!sorts.empty()) std::memcpy(sorts.data(), bytes.data(), sorts.size() * sizeof(SORTORDERSPEC));
  return sorts;
}

}  // namespace

uint64_t DeviceNowFiletime() { return static_cast<uint64_t>(DeviceUtcNow()); }

void NoteDatabasesChanged() { BumpSharedCounter(SharedCounter::kDatabases); }

CEOID DatabaseStore::Create(std::u16string_view name, DWORD type, const std::vector<SORTORDERSPEC>& sorts,
                            uint64_t now, DWORD* error) {
  *error = ERROR_DUP_NAME;
  if (FindByName(name)) return 0;
  *error = ERROR_DISK_FULL;
  SqlTxn txn(db_);
  if (!db_.Cached("INSERT INTO db_objects(db) VALUES(0)")->Run()) return 0;
  CEOID oid = static_cast<CEOID>(db_.LastInsertId());
  std::u16string fold = Fold(name);
  std::vector<uint8_t> sort_bytes = EncodeSorts(sorts);
  auto stmt = db_.Cached(
      "INSERT INTO db_databases(oid, name, fold, type, flags, sorts, modified) VALUES(?, ?, ?, ?, 0, ?, ?)");
  stmt->Bind(1, int64_t{oid}).Bind(2, name).Bind(3, std::u16string_view(fold)).Bind(4, int64_t{type});
  stmt->BindBlob(5, sort_bytes.data(), sort_bytes.size()).Bind(6, static_cast<int64_t>(now));
  if (!stmt->Run()) {
    if (FindByName(name)) *error = ERROR_DUP_NAME;  // made by another program meanwhile
    return 0;
  }
  return txn.Commit() ? oid : 0;
}

CEOID DatabaseStore::FindByName(std::u16string_view name) {
  auto stmt = db_.Cached("SELECT oid FROM db_databases WHERE fold = ?");
  std::u16string fold = Fold(name);
  return stmt->Bind(1, std::u16string_view(fold)).Step() ? static_cast<CEOID>(stmt->Int(0)) : 0;
}

bool DatabaseStore::Info(CEOID oid, DatabaseInfo* out) {
  {
    auto stmt = db_.Cached("SELECT name, type, flags, sorts, modified FROM db_databases WHERE oid = ?");
    if (!stmt->Bind(1, int64_t{oid}).Step()) return false;
    out->oid = oid;
    out->name = stmt->Text16(0);
    out->type = static_cast<DWORD>(stmt->Int(1));
    out->flags = static_cast<DWORD>(stmt->Int(2));
    out->sorts = DecodeSorts(stmt->Blob(3));
    out->modified = static_cast<uint64_t>(stmt->Int(4));
  }
  auto stmt = db_.Cached("SELECT COUNT(*), TOTAL(size) FROM db_objects WHERE db = ?");
  if (!stmt->Bind(1, int64_t{oid}).Step()) return false;
  out->records = static_cast<DWORD>(stmt->Int(0));
  out->size = static_cast<DWORD>(stmt->Int(1));
  return true;
}

std::vector<CEOID> DatabaseStore::List(DWORD type) {
  std::vector<CEOID> oids;
  auto stmt = db_.Cached("SELECT oid FROM db_databases WHERE ?1 = 0 OR type = ?1 ORDER BY oid");
  stmt->Bind(1, int64_t{type});
  while (stmt->Step()) oids.push_back(static_cast<CEOID>(stmt->Int(0)));
  return oids;
}

CEOID DatabaseStore::DatabaseOfRecord(CEOID oid) {
  auto stmt = db_.Cached("SELECT db FROM db_objects WHERE oid = ? AND db != 0");
  return stmt->Bind(1, int64_t{oid}).Step() ? static_cast<CEOID>(stmt->Int(0)) : 0;
}

bool DatabaseStore::Delete(CEOID oid) {
  SqlTxn txn(db_);
  bool ok = db_.Cached("DELETE FROM db_objects WHERE db = ?1 OR oid = ?1")->Bind(1, int64_t{oid}).Run() &&
            db_.Cached("DELETE FROM db_databases WHERE oid = ?")->Bind(1, int64_t{oid}).Run();
  return ok && txn.Commit();
}

std::vector<CEOID> DatabaseStore::RecordOids(CEOID db) {
  std::vector<CEOID> oids;
  auto stmt = db_.Cached("SELECT oid FROM db_objects WHERE db = ? ORDER BY oid");
  stmt->Bind(1, int64_t{db});
  while (stmt->Step()) oids.push_back(static_cast<CEOID>(stmt->Int(0)));
  return oids;
}

std::vector<std::pair<CEOID, Record>> DatabaseStore::Records(CEOID db) {
  std::vector<std::pair<CEOID, Record>> records;
  auto stmt = db_.Cached("SELECT oid, props FROM db_objects WHERE db = ? ORDER BY oid");
  stmt->Bind(1, int64_t{db});
  while (stmt->Step()) {
    Record record;
    DecodeRecord(stmt->BlobData(1), stmt->BlobSize(1), &record);
    records.emplace_back(static_cast<CEOID>(stmt->Int(0)), std::move(record));
  }
  return records;
}

bool DatabaseStore::ReadRecord(CEOID oid, Record* out) {
  auto stmt = db_.Cached("SELECT props FROM db_objects WHERE oid = ? AND db != 0");
  if (!stmt->Bind(1, int64_t{oid}).Step()) return false;
  return DecodeRecord(stmt->BlobData(0), stmt->BlobSize(0), out);
}

CEOID DatabaseStore::InsertRecord(CEOID db, const Record& record) {
  std::vector<uint8_t> bytes = EncodeRecord(record);
  auto stmt = db_.Cached("INSERT INTO db_objects(db, props, size) VALUES(?, ?, ?)");
  stmt->Bind(1, int64_t{db}).BindBlob(2, bytes.data(), bytes.size());
  stmt->Bind(3, static_cast<int64_t>(RecordStoreSize(record)));
  return stmt->Run() ? static_cast<CEOID>(db_.LastInsertId()) : 0;
}

bool DatabaseStore::UpdateRecord(CEOID oid, const Record& record) {
  std::vector<uint8_t> bytes = EncodeRecord(record);
  auto stmt = db_.Cached("UPDATE db_objects SET props = ?, size = ? WHERE oid = ? AND db != 0");
  stmt->BindBlob(1, bytes.data(), bytes.size()).Bind(2, static_cast<int64_t>(RecordStoreSize(record)));
  return stmt->Bind(3, int64_t{oid}).Run() && db_.Changes() == 1;
}

bool DatabaseStore::DeleteRecord(CEOID oid) {
  auto stmt = db_.Cached("DELETE FROM db_objects WHERE oid = ? AND db != 0");
  return stmt->Bind(1, int64_t{oid}).Run() && db_.Changes() == 1;
}

bool DatabaseStore::Touch(CEOID db, uint64_t now) {
  auto stmt = db_.Cached("UPDATE db_databases SET modified = ? WHERE oid = ?");
  return stmt->Bind(1, static_cast<int64_t>(now)).Bind(2, int64_t{db}).Run();
}

}  // namespace cedev

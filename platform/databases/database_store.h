// The object-store databases' rows in state.db. Databases and records share
// one object-id sequence (as on the device, an oid names exactly one object)
// and ids are never reused. Records keep their properties in one blob.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ce/database.h"
#include "database_record.h"
#include "sql.h"

namespace cedev {

struct DatabaseInfo {
  CEOID oid = 0;
  std::u16string name;
  DWORD type = 0;
  DWORD flags = 0;
  std::vector<SORTORDERSPEC> sorts;
  uint64_t modified = 0;  // FILETIME ticks
  DWORD records = 0;
  DWORD size = 0;  // bytes the records take
};

class DatabaseStore {
 public:
  explicit DatabaseStore(SqlDb& db) : db_(db) {}

  // 0 on failure; ERROR_DUP_NAME when the name is taken.
  CEOID Create(std::u16string_view name, DWORD type, const std::vector<SORTORDERSPEC>& sorts, uint64_t now,
               DWORD* error);
  CEOID FindByName(std::u16string_view name);
  bool Info(CEOID oid, DatabaseInfo* out);
  // Database oids in creation order; type 0 lists every database.
  std::vector<CEOID> List(DWORD type);
  // The database a record belongs to; 0 when `oid` is not a record.
  CEOID DatabaseOfRecord(CEOID oid);
  bool Delete(CEOID oid);

  std::vector<CEOID> RecordOids(CEOID db);
  std::vector<std::pair<CEOID, Record>> Records(CEOID db);
  bool ReadRecord(CEOID oid, Record* out);
  CEOID InsertRecord(CEOID db, const Record& record);
  bool UpdateRecord(CEOID oid, const Record& record);
  bool DeleteRecord(CEOID oid);
  bool Touch(CEOID db, uint64_t now);

 private:
  SqlDb& db_;
};

// The device clock as FILETIME ticks (100 ns since 1601).
uint64_t DeviceNowFiletime();
// Tells every program's cursors that database contents changed (after commit).
void NoteDatabasesChanged();

}  // namespace cedev

#include "schema.h"

namespace cedev {

// db_objects holds one row per object id: a database's own row has db = 0,
// a record's row names its database and carries the properties. The size
// column is the record's device-layout size, summed for CEDBASEINFO.
bool CreateDatabaseSchema(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS db_objects(oid INTEGER PRIMARY KEY AUTOINCREMENT, db INTEGER NOT NULL, "
      "props BLOB, size INTEGER NOT NULL DEFAULT 0);"
      "CREATE INDEX IF NOT EXISTS db_objects_db ON db_objects(db);"
      "CREATE TABLE IF NOT EXISTS db_databases(oid INTEGER PRIMARY KEY, name TEXT NOT NULL, fold TEXT NOT NULL "
      "UNIQUE, type INTEGER NOT NULL, flags INTEGER NOT NULL DEFAULT 0, sorts BLOB NOT NULL, modified INTEGER NOT "
      "NULL);");
}

}  // namespace cedev

#include "schema.h"

namespace cedev {
namespace {

// The journal: one row per effect that leaves no other trace.
bool CreateJournalTables(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS journal(seq INTEGER PRIMARY KEY AUTOINCREMENT, time_ms INTEGER, pid INTEGER, "
      "kind TEXT, text TEXT)");
}

// Armed faults, matched oldest first (see faults.h).
bool CreateFaultTables(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS faults(id INTEGER PRIMARY KEY, op TEXT, target TEXT, error INTEGER, "
      "remaining INTEGER)");
}

// file_meta: one row per file or folder the kernel has described (see
// file_meta.h), clustered by folder so a folder's rows come in one range.
// space_usage: bytes of files counted against the object store and each
// volume with a quota, kept in step by the kernel's own changes.
bool CreateFileTables(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS file_meta(parent TEXT NOT NULL, name TEXT NOT NULL, attributes INTEGER NOT NULL, "
      "creation INTEGER NOT NULL, last_access INTEGER NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL, "
      "PRIMARY KEY(parent, name)) WITHOUT ROWID;"
      "CREATE TABLE IF NOT EXISTS space_usage(space TEXT PRIMARY KEY, bytes INTEGER NOT NULL)");
}

// Keys hang off their parent's id (the roots have parent 0). Each table has
// one index besides its rows, the unique one on the folded name: it answers
// lookups and lists one key's children, which are then put in id order (the
// enumeration order). Every write costs a page of the table and one of the
// index, so a second index for the order would make each commit dearer.
//
// Key ids are never reused (AUTOINCREMENT), since a handle names its key by
// id. Values have no handles: a value's id only has to exceed the ids of the
// values that exist when it is made, which a plain rowid does without the
// extra sequence row a commit would otherwise write.
//
// Devices made before this layout keep their tables; the indexes they have
// in addition are dropped, the rows stay as they are.
bool CreateRegistryTables(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS reg_keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, "
      "name TEXT NOT NULL, fold TEXT NOT NULL, class TEXT NOT NULL DEFAULT '');"
      "CREATE UNIQUE INDEX IF NOT EXISTS reg_keys_name ON reg_keys(parent, fold);"
      "DROP INDEX IF EXISTS reg_keys_parent;"
      "CREATE TABLE IF NOT EXISTS reg_values(id INTEGER PRIMARY KEY, key INTEGER NOT NULL, "
      "name TEXT NOT NULL, fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL);"
      "CREATE UNIQUE INDEX IF NOT EXISTS reg_values_name ON reg_values(key, fold);"
      "DROP INDEX IF EXISTS reg_values_key;"
      "INSERT OR IGNORE INTO reg_keys(id, parent, name, fold) VALUES"
      "(1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),"
      "(2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
      "(3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
      "(4, 0, 'HKEY_USERS', 'HKEY_USERS');");
}

// db_objects holds one row per object id: a database's own row has db = 0,
// a record's row names its database and carries the properties. The size
// column is the record's device-layout size, summed for CEDBASEINFO.
bool CreateDatabaseTables(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS db_objects(oid INTEGER PRIMARY KEY AUTOINCREMENT, db INTEGER NOT NULL, "
      "props BLOB, size INTEGER NOT NULL DEFAULT 0);"
      "CREATE INDEX IF NOT EXISTS db_objects_db ON db_objects(db);"
      "CREATE TABLE IF NOT EXISTS db_databases(oid INTEGER PRIMARY KEY, name TEXT NOT NULL, fold TEXT NOT NULL "
      "UNIQUE, type INTEGER NOT NULL, flags INTEGER NOT NULL DEFAULT 0, sorts BLOB NOT NULL, modified INTEGER NOT "
      "NULL);");
}

// Running device programs, and the notifications programs asked for.
bool CreateProcessTables(SqlDb& db) {
  return db.Exec(
             "CREATE TABLE IF NOT EXISTS processes(pid INTEGER NOT NULL, started INTEGER NOT NULL, module TEXT, "
             "cmdline TEXT, exit_code INTEGER, PRIMARY KEY(pid, started))") &&
         db.Exec(
             "CREATE TABLE IF NOT EXISTS notifications(id INTEGER PRIMARY KEY, app TEXT NOT NULL, kind TEXT NOT NULL, "
             "event INTEGER, at INTEGER)");
}

}  // namespace

bool CreateStateSchema(SqlDb& db) {
  return CreateJournalTables(db) && CreateFaultTables(db) && CreateFileTables(db) && CreateRegistryTables(db) &&
         CreateDatabaseTables(db) && CreateProcessTables(db);
}

}  // namespace cedev

#include "registry_store.h"
#include "schema.h"

namespace cedev {

// Keys hang off their parent's id (the roots have parent 0). The plain
// indexes on parent and key keep rows in id order within one key, which is
// the enumeration order; the unique ones answer lookups by folded name.
bool CreateRegistrySchema(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS reg_keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, "
      "name TEXT NOT NULL, fold TEXT NOT NULL, class TEXT NOT NULL DEFAULT '');"
      "CREATE UNIQUE INDEX IF NOT EXISTS reg_keys_name ON reg_keys(parent, fold);"
      "CREATE INDEX IF NOT EXISTS reg_keys_parent ON reg_keys(parent);"
      "CREATE TABLE IF NOT EXISTS reg_values(id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL, "
      "name TEXT NOT NULL, fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL);"
      "CREATE UNIQUE INDEX IF NOT EXISTS reg_values_name ON reg_values(key, fold);"
      "CREATE INDEX IF NOT EXISTS reg_values_key ON reg_values(key);"
      "INSERT OR IGNORE INTO reg_keys(id, parent, name, fold) VALUES"
      "(1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),"
      "(2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
      "(3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
      "(4, 0, 'HKEY_USERS', 'HKEY_USERS');");
}

}  // namespace cedev

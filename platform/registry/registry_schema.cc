#include "registry_store.h"
#include "schema.h"

namespace cedev {

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
bool CreateRegistrySchema(SqlDb& db) {
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

}  // namespace cedev

#include "schema.h"

namespace cedev {

// file_meta: one row per file or folder the kernel has described (see
// file_meta.h); parent is indexed so a folder's rows come in one query.
// space_usage: bytes of files counted against the object store and each
// volume with a quota, kept in step by the kernel's own changes.
bool CreateFileSchema(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS file_meta(key TEXT PRIMARY KEY, parent TEXT NOT NULL, attributes INTEGER NOT NULL, "
      "creation INTEGER NOT NULL, last_access INTEGER NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL) "
      "WITHOUT ROWID;"
      "CREATE INDEX IF NOT EXISTS file_meta_parent ON file_meta(parent);"
      "CREATE TABLE IF NOT EXISTS space_usage(space TEXT PRIMARY KEY, bytes INTEGER NOT NULL)");
}

}  // namespace cedev

#include "schema.h"

namespace cedev {

// file_meta: one row per file or folder the kernel has described (see
// file_meta.h), clustered by folder so a folder's rows come in one range.
// space_usage: bytes of files counted against the object store and each
// volume with a quota, kept in step by the kernel's own changes.
bool CreateFileSchema(SqlDb& db) {
  return db.Exec(
      "CREATE TABLE IF NOT EXISTS file_meta(parent TEXT NOT NULL, name TEXT NOT NULL, attributes INTEGER NOT NULL, "
      "creation INTEGER NOT NULL, last_access INTEGER NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL, "
      "PRIMARY KEY(parent, name)) WITHOUT ROWID;"
      "CREATE TABLE IF NOT EXISTS space_usage(space TEXT PRIMARY KEY, bytes INTEGER NOT NULL)");
}

}  // namespace cedev

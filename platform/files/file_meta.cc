#include "file_meta.h"

#include "ce/file.h"
#include "clock.h"
#include "shared_counters.h"

namespace cedev {
namespace {

FileMeta RowFromStmt(SqlStmt& stmt, int first) {
  FileMeta m;
  m.attributes = static_cast<DWORD>(stmt.Int(first));
  m.creation = stmt.Int(first + 1);
  m.last_access = stmt.Int(first + 2);
  m.size = stmt.Int(first + 3);
  m.mtime = stmt.Int(first + 4);
  return m;
}

}  // namespace

void StampDeviceTime(const host::Fd& fd, host::EntryStatus* st) {
  int64_t offset = DeviceClockOffset();
  if (offset == 0) return;
  if (host::SetLastWrite(fd, st->last_write + offset) == 0) host::StatusOf(fd, st);
}

HostFacts FactsOf(const host::EntryStatus& st) {
  HostFacts f;
  f.size = static_cast<int64_t>(st.size);
  f.last_write = st.last_write;
  f.oid = static_cast<DWORD>(st.id.inode);
  f.folder = st.IsFolder();
  f.writable = st.owner_writable;
  return f;
}

EntryInfo EffectiveInfo(const host::EntryStatus& st, const FileMeta* row) { return EffectiveInfo(FactsOf(st), row); }

EntryInfo EffectiveInfo(const HostFacts& host, const FileMeta* row) {
  EntryInfo info;
  info.last_write = host.last_write;
  info.oid = host.oid;
  if (host.folder) {
    // A folder's host mtime moves with every entry added, so its row is
    // never judged stale.
    info.attributes = FILE_ATTRIBUTE_DIRECTORY | (row ? row->attributes & ~FILE_ATTRIBUTE_NORMAL : 0);
    info.creation = row ? row->creation : info.last_write;
    info.last_access = row ? row->last_access : info.last_write;
    return info;
  }
  info.size = static_cast<uint64_t>(host.size);
  if (!row) {
    // A file that arrived from the host side: new to the device, so archive.
    info.attributes = FILE_ATTRIBUTE_ARCHIVE | (host.writable ? 0 : FILE_ATTRIBUTE_READONLY);
    info.creation = info.last_write;
    info.last_access = info.last_write;
    return info;
  }
  bool current = row->size == host.size && row->mtime == info.last_write;
  info.creation = row->creation;
  if (current) {
    info.attributes = row->attributes;
    info.last_access = row->last_access;
  } else {
    // Changed outside the emulator: its host times win, and a changed file
    // wants backing up.
    info.attributes = row->attributes | FILE_ATTRIBUTE_ARCHIVE;
    info.last_access = info.last_write;
  }
  info.attributes &= ~FILE_ATTRIBUTE_DIRECTORY;
  if (info.attributes == 0) info.attributes = FILE_ATTRIBUTE_NORMAL;
  return info;
}

FileMeta RowFor(const host::EntryStatus& st, DWORD attributes, int64_t creation, int64_t last_access) {
  FileMeta m;
  m.attributes = attributes;
  m.creation = creation;
  m.last_access = last_access;
  m.size = st.IsFolder() ? 0 : static_cast<int64_t>(st.size);
  m.mtime = st.last_write;
  return m;
}

std::pair<std::string_view, std::string_view> SplitMetaKey(std::string_view key) {
  size_t slash = key.rfind('/');
  if (slash == std::string_view::npos) return {std::string_view(), key};
  return {key.substr(0, slash), key.substr(slash + 1)};
}

std::optional<FileMeta> LoadMeta(SqlDb& db, std::string_view key) {
  auto [parent, name] = SplitMetaKey(key);
  auto stmt = db.Cached(
      "SELECT attributes, creation, last_access, size, mtime FROM file_meta WHERE parent = ? AND name = ?");
  stmt->Bind(1, parent).Bind(2, name);
  if (!stmt->Step()) return std::nullopt;
  return RowFromStmt(*stmt, 0);
}

bool SaveMeta(SqlDb& db, std::string_view key, const FileMeta& meta) {
  auto [parent, name] = SplitMetaKey(key);
  auto stmt = db.Cached(
      "INSERT OR REPLACE INTO file_meta(parent, name, attributes, creation, last_access, size, mtime) "
      "VALUES(?,?,?,?,?,?,?)");
  bool saved = stmt->Bind(1, parent)
                   .Bind(2, name)
                   .Bind(3, static_cast<int64_t>(meta.attributes))
                   .Bind(4, meta.creation)
                   .Bind(5, meta.last_access)
                   .Bind(6, meta.size)
                   .Bind(7, meta.mtime)
                   .Run();
  db.NoteChange(SharedCounter::kFileMeta);
  return saved;
}

SubtreeRange SubtreeOf(std::string_view key) {
  return SubtreeRange{std::string(key), std::string(key) + "/", std::string(key) + "0"};
}

bool DeleteMetaTree(SqlDb& db, std::string_view key) {
  auto [parent, name] = SplitMetaKey(key);
  SubtreeRange below = SubtreeOf(key);
  auto top = db.Cached("DELETE FROM file_meta WHERE parent = ? AND name = ?");
  if (!top->Bind(1, parent).Bind(2, name).Run()) return false;
  auto rest = db.Cached("DELETE FROM file_meta WHERE parent = ?1 OR (parent >= ?2 AND parent < ?3)");
  bool deleted = rest->Bind(1, below.key).Bind(2, below.low).Bind(3, below.high).Run();
  db.NoteChange(SharedCounter::kFileMeta);
  return deleted;
}

bool MoveMetaTree(SqlDb& db, std::string_view from, std::string_view to) {
  SqlTxn txn(db);
  db.NoteChange(SharedCounter::kFileMeta);
  // Whatever the destination held before is gone on the host too.
  if (!DeleteMetaTree(db, to)) return false;
  auto [from_parent, from_name] = SplitMetaKey(from);
  auto [to_parent, to_name] = SplitMetaKey(to);
  {
    auto top = db.Cached("UPDATE file_meta SET parent = ?1, name = ?2 WHERE parent = ?3 AND name = ?4");
    if (!top->Bind(1, to_parent).Bind(2, to_name).Bind(3, from_parent).Bind(4, from_name).Run()) return false;
  }
  SubtreeRange below = SubtreeOf(from);
  auto rest = db.Cached(
      "UPDATE file_meta SET parent = ?4 || substr(parent, length(?1) + 1) "
      "WHERE parent = ?1 OR (parent >= ?2 AND parent < ?3)");
  if (!rest->Bind(1, below.key).Bind(2, below.low).Bind(3, below.high).Bind(4, to).Run()) return false;
  return txn.Commit();
}

void ForEachFolderMeta(SqlDb& db, std::string_view parent_key,
                       const std::function<void(std::string_view name, const FileMeta& row)>& take) {
  auto stmt = db.Cached("SELECT name, attributes, creation, last_access, size, mtime FROM file_meta WHERE parent = ?");
  stmt->Bind(1, parent_key);
  while (stmt->Step()) {
    auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt->raw(), 0));
    size_t size = static_cast<size_t>(sqlite3_column_bytes(stmt->raw(), 0));
    take(std::string_view(text ? text : "", size), RowFromStmt(*stmt, 1));
  }
}

}  // namespace cedev

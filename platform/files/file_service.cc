#include "file_service.h"

#include <vector>

#include "device_path.h"
#include "file_meta.h"
#include "host_files.h"
#include "shared_counters.h"
#include "sql.h"

namespace cedev {
namespace {

FileMetaRecord ToRecord(const FileMeta& m) {
  return FileMetaRecord{m.attributes, ToFileTime(m.creation), ToFileTime(m.last_access)};
}

}  // namespace

bool ResolveToHost(Device& device, std::u16string_view device_path, HostLocation* out, DWORD* error) {
  HostPath where;
  DWORD err = ResolveDevicePath(device, device_path, &where);
  if (error) *error = err;
  if (err) return false;
  out->host = where.host;
  out->on_volume = where.kind == RootKind::kVolume;
  out->volume = where.volume;
  out->meta_key = where.key;
  out->exists = where.exists;
  out->is_dir = where.IsDir();
  return true;
}

bool SetMetaRecordByKey(Device& device, std::string_view key, const FileMetaRecord& record) {
  host::EntryStatus st;
  if (host::StatusOf((device.Dir() / std::string(key)).string(), &st) != 0) return false;
  FileMeta m = RowFor(st, record.attributes, FileTimeValue(record.creation), FileTimeValue(record.last_access));
  return SaveMeta(device.Db(), key, m);
}

bool GetMetaRecordByKey(Device& device, std::string_view key, FileMetaRecord* record) {
  std::optional<FileMeta> row = LoadMeta(device.Db(), key);
  if (!row) return false;
  *record = ToRecord(*row);
  return true;
}

bool SetFileMetaRecord(Device& device, std::u16string_view device_path, const FileMetaRecord& record) {
  HostLocation where;
  if (!ResolveToHost(device, device_path, &where, nullptr) || !where.exists) return false;
  return SetMetaRecordByKey(device, where.meta_key, record);
}

bool GetFileMetaRecord(Device& device, std::u16string_view device_path, FileMetaRecord* record) {
  HostLocation where;
  if (!ResolveToHost(device, device_path, &where, nullptr) || !where.exists) return false;
  return GetMetaRecordByKey(device, where.meta_key, record);
}

bool DeleteMetaRows(Device& device, std::string_view key) { return DeleteMetaTree(device.Db(), key); }

bool CopyMetaRows(Device& device, std::string_view from_key, std::string_view to_key) {
  SqlDb& db = device.Db();
  SqlTxn txn(db);
  if (!DeleteMetaTree(db, to_key)) return false;
  auto [from_parent, from_name] = SplitMetaKey(from_key);
  auto [to_parent, to_name] = SplitMetaKey(to_key);
  auto top = db.Prepare(
      "INSERT INTO file_meta(parent, name, attributes, creation, last_access, size, mtime) "
      "SELECT ?1, ?2, attributes, creation, last_access, size, mtime FROM file_meta WHERE parent = ?3 AND name = ?4");
  if (!top.Bind(1, to_parent).Bind(2, to_name).Bind(3, from_parent).Bind(4, from_name).Run()) return false;
  SubtreeRange below = SubtreeOf(from_key);
  auto rest = db.Prepare(
      "INSERT INTO file_meta(parent, name, attributes, creation, last_access, size, mtime) "
      "SELECT ?4 || substr(parent, length(?1) + 1), name, attributes, creation, last_access, size, mtime "
      "FROM file_meta WHERE parent = ?1 OR (parent >= ?2 AND parent < ?3)");
  if (!rest.Bind(1, below.key).Bind(2, below.low).Bind(3, below.high).Bind(4, to_key).Run()) return false;
  if (!RefreshMetaRows(device, to_key)) return false;
  return txn.Commit();
}

bool RefreshMetaRows(Device& device, std::string_view key) {
  SqlDb& db = device.Db();
  SqlTxn txn(db);
  db.NoteChange(SharedCounter::kFileMeta);
  std::vector<std::string> keys{std::string(key)};
  {
    SubtreeRange below = SubtreeOf(key);
    auto list = db.Prepare("SELECT parent || '/' || name FROM file_meta WHERE parent = ?1 OR (parent >= ?2 AND parent < ?3)");
    list.Bind(1, below.key).Bind(2, below.low).Bind(3, below.high);
    while (list.Step()) keys.push_back(list.Text(0));
  }
  for (const std::string& k : keys) {
    auto [parent, name] = SplitMetaKey(k);
    host::EntryStatus st;
    if (host::StatusOf((device.Dir() / k).string(), &st) != 0) {
      auto del = db.Cached("DELETE FROM file_meta WHERE parent = ? AND name = ?");
      del->Bind(1, parent).Bind(2, name).Run();
      continue;
    }
    auto upd = db.Cached("UPDATE file_meta SET size = ?, mtime = ? WHERE parent = ? AND name = ?");
    upd->Bind(1, static_cast<int64_t>(st.IsFolder() ? 0 : st.size))
        .Bind(2, st.last_write)
        .Bind(3, parent)
        .Bind(4, name)
        .Run();
  }
  return txn.Commit();
}

}  // namespace cedev

#include "file_service.h"

#include <sys/stat.h>

#include <vector>

#include "device_path.h"
#include "file_meta.h"
#include "sql.h"

namespace cedev {
namespace {

std::string ParentKey(std::string_view key) {
  size_t slash = key.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(key.substr(0, slash));
}

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
  struct stat st;
  std::filesystem::path host = device.Dir() / std::string(key);
  if (::lstat(host.c_str(), &st) != 0) return false;
  FileMeta m = RowFor(st, record.attributes, ToInt64(record.creation), ToInt64(record.last_access));
  return SaveMeta(device.Db(), key, ParentKey(key), m);
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
  std::string from(from_key), to(to_key), from_below = from + "/";
  auto copy = db.Prepare(
      "INSERT INTO file_meta(key, parent, attributes, creation, last_access, size, mtime) "
      "SELECT ?1 || substr(key, length(?2) + 1), "
      "CASE WHEN key = ?2 THEN ?3 ELSE ?1 || substr(parent, length(?2) + 1) END, "
      "attributes, creation, last_access, size, mtime FROM file_meta "
      "WHERE key = ?2 OR substr(key, 1, length(?4)) = ?4");
  copy.Bind(1, to).Bind(2, from).Bind(3, ParentKey(to)).Bind(4, from_below);
  if (!copy.Run()) return false;
  if (!RefreshMetaRows(device, to)) return false;
  return txn.Commit();
}

bool RefreshMetaRows(Device& device, std::string_view key) {
  SqlDb& db = device.Db();
  SqlTxn txn(db);
  std::string below = std::string(key) + "/";
  std::vector<std::string> keys;
  {
    auto list = db.Prepare("SELECT key FROM file_meta WHERE key = ?1 OR substr(key, 1, length(?2)) = ?2");
    list.Bind(1, key).Bind(2, below);
    while (list.Step()) keys.push_back(list.Text(0));
  }
  for (const std::string& k : keys) {
    struct stat st;
    std::filesystem::path host = device.Dir() / k;
    if (::lstat(host.c_str(), &st) != 0) {
      auto del = db.Cached("DELETE FROM file_meta WHERE key = ?");
      del->Bind(1, k).Run();
      continue;
    }
    auto upd = db.Cached("UPDATE file_meta SET size = ?, mtime = ? WHERE key = ?");
    upd->Bind(1, static_cast<int64_t>(S_ISDIR(st.st_mode) ? 0 : st.st_size)).Bind(2, HostLastWrite(st)).Bind(3, k).Run();
  }
  return txn.Commit();
}

}  // namespace cedev

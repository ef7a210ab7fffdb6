#include "registry_store.h"

#include "device_folder.h"
#include "store_usage.h"
#include "wstr.h"

namespace cedev {

namespace {

// The ids of a key and of every key below it.
constexpr const char* kSubtree =
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM reg_keys k JOIN tree ON k.parent = tree.id) ";

}  // namespace

int64_t RegistryStore::Generation() { return static_cast<int64_t>(ReadSharedCounter(SharedCounter::kRegistry)); }

void NoteRegistryChanged() { BumpSharedCounter(SharedCounter::kRegistry); }

bool RegistryStore::KeyExists(int64_t id) {
  auto stmt = db_.Cached("SELECT 1 FROM reg_keys WHERE id = ?");
  return stmt->Bind(1, id).Step();
}

bool RegistryStore::KeyClass(int64_t id, std::u16string* out) {
  auto stmt = db_.Cached("SELECT class FROM reg_keys WHERE id = ?");
  if (!stmt->Bind(1, id).Step()) return false;
  *out = stmt->Text16(0);
  return true;
}

int64_t RegistryStore::FindSubkey(int64_t parent, std::u16string_view name) {
  auto stmt = db_.Cached("SELECT id FROM reg_keys WHERE parent = ? AND fold = ?");
  std::u16string fold = Fold(name);
  return stmt->Bind(1, parent).Bind(2, std::u16string_view(fold)).Step() ? stmt->Int(0) : 0;
}

int64_t RegistryStore::AddSubkey(int64_t parent, std::u16string_view name, std::u16string_view class_name) {
  auto stmt = db_.Cached("INSERT INTO reg_keys(parent, name, fold, class) VALUES(?, ?, ?, ?)");
  std::u16string fold = Fold(name);
  if (!stmt->Bind(1, parent).Bind(2, name).Bind(3, std::u16string_view(fold)).Bind(4, class_name).Run()) return 0;
  return db_.LastInsertId();
}

std::vector<RegKeyRow> RegistryStore::Subkeys(int64_t parent) {
  std::vector<RegKeyRow> rows;
  auto stmt = db_.Cached("SELECT id, name, class FROM reg_keys WHERE parent = ? ORDER BY id");
  stmt->Bind(1, parent);
  while (stmt->Step()) rows.push_back({stmt->Int(0), stmt->Text16(1), stmt->Text16(2)});
  return rows;
}

std::vector<RegValueRow> RegistryStore::Values(int64_t key) {
  std::vector<RegValueRow> rows;
  auto stmt = db_.Cached("SELECT name, type, data FROM reg_values WHERE key = ? ORDER BY id");
  stmt->Bind(1, key);
  while (stmt->Step()) rows.push_back({stmt->Text16(0), static_cast<DWORD>(stmt->Int(1)), stmt->Blob(2)});
  return rows;
}

RegistryStore::Lookup RegistryStore::GetValue(int64_t key, std::u16string_view name, RegValueRow* out) {
  auto stmt = db_.Cached(
      "SELECT v.id, v.name, v.type, v.data FROM reg_keys k LEFT JOIN reg_values v ON v.key = k.id AND v.fold = ?2 "
      "WHERE k.id = ?1");
  std::u16string fold = Fold(name);
  if (!stmt->Bind(1, key).Bind(2, std::u16string_view(fold)).Step()) return Lookup::kNoKey;
  if (stmt->IsNull(0)) return Lookup::kNoValue;
  out->name = stmt->Text16(1);
  out->type = static_cast<DWORD>(stmt->Int(2));
  out->data = stmt->Blob(3);
  return Lookup::kFound;
}

bool RegistryStore::SetValue(int64_t key, std::u16string_view name, DWORD type, const void* data, size_t size) {
  // An existing value keeps its row (and so its place in the enumeration) and
  // the spelling it was created with; only type and data change.
  auto stmt = db_.Cached(
      "INSERT INTO reg_values(key, name, fold, type, data) SELECT ?1, ?2, ?3, ?4, ?5 "
      "WHERE EXISTS(SELECT 1 FROM reg_keys WHERE id = ?1) "
      "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
  std::u16string fold = Fold(name);
  stmt->Bind(1, key).Bind(2, name).Bind(3, std::u16string_view(fold)).Bind(4, static_cast<int64_t>(type));
  stmt->BindBlob(5, data, size);
  if (!stmt->Run() || db_.Changes() == 0) return false;
  return true;
}

bool RegistryStore::DeleteValue(int64_t key, std::u16string_view name, int64_t* freed) {
  auto stmt = db_.Cached("DELETE FROM reg_values WHERE key = ? AND fold = ? RETURNING " REG_VALUE_SIZE_SQL);
  std::u16string fold = Fold(name);
  if (!stmt->Bind(1, key).Bind(2, std::u16string_view(fold)).Step()) return false;
  *freed = stmt->Int(0);
  return stmt->Run();  // the deletion is complete once the statement has run to its end
}

bool RegistryStore::DeleteTree(int64_t id) {
  static const std::string values_sql = std::string(kSubtree) + "DELETE FROM reg_values WHERE key IN tree";
  static const std::string keys_sql = std::string(kSubtree) + "DELETE FROM reg_keys WHERE id IN tree";
  bool ok = db_.Cached(values_sql.c_str())->Bind(1, id).Run() && db_.Cached(keys_sql.c_str())->Bind(1, id).Run();
  return ok;
}

int64_t RegistryStore::StoredValueSize(int64_t key, std::u16string_view name) {
  auto stmt = db_.Cached("SELECT " REG_VALUE_SIZE_SQL " FROM reg_values WHERE key = ? AND fold = ?");
  std::u16string fold = Fold(name);
  return stmt->Bind(1, key).Bind(2, std::u16string_view(fold)).Step() ? stmt->Int(0) : -1;
}

int64_t RegistryStore::SubtreeSize(int64_t id) {
  static const std::string sql = std::string(kSubtree) +
                                 "SELECT (SELECT COALESCE(SUM(" REG_KEY_SIZE_SQL "), 0) FROM reg_keys WHERE id IN tree) + "
                                 "(SELECT COALESCE(SUM(" REG_VALUE_SIZE_SQL "), 0) FROM reg_values WHERE key IN tree)";
  auto stmt = db_.Cached(sql.c_str());
  return stmt->Bind(1, id).Step() ? stmt->Int(0) : 0;
}

}  // namespace cedev

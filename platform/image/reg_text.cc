#include "reg_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "database_record.h"
#include "database_store.h"
#include "device_folder.h"
#include "registry_store.h"
#include "wstr.h"

namespace cedev {
namespace {

// The roots in the order of kRegRootNames, with the short names people type.
struct RootName {
  const char* shorthand;
  HKEY handle;
};

const RootName kRoots[] = {
    {"HKCR", HKEY_CLASSES_ROOT}, {"HKCU", HKEY_CURRENT_USER}, {"HKLM", HKEY_LOCAL_MACHINE}, {"HKU", HKEY_USERS}};

std::string FullName(int index) { return ToUtf8(kRegRootNames[index]); }

int RootIndex(HKEY root) { return static_cast<int>(reinterpret_cast<uintptr_t>(root) - 0x80000000u); }

std::string Hex2(uint8_t b) {
  static const char* digits = "0123456789abcdef";
  return {digits[b >> 4], digits[b & 15]};
}

std::string Escape(std::u16string_view text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// The text of a REG_SZ/REG_EXPAND_SZ value when it is one terminated string
// that a text line can carry unchanged.
bool AsPlainString(const std::vector<uint8_t>& data, std::u16string* text) {
  if (data.size() < 2 || data.size() % 2) return false;
  size_t units = data.size() / 2;
  text->resize(units - 1);
  std::memcpy(text->data(), data.data(), (units - 1) * 2);
  char16_t last;
  std::memcpy(&last, data.data() + data.size() - 2, 2);
  if (last != 0) return false;
  for (char16_t c : *text) {
    if (c == 0 || c == u'\r' || c == u'\n') return false;
  }
  return true;
}

std::string HexKeyword(DWORD type) {
  if (type == REG_BINARY) return "hex:";
  char buf[24];
  std::snprintf(buf, sizeof buf, "hex(%x):", type);
  return buf;
}

// Hex bytes wrapped the way REGEDIT wraps them: lines end with ",\" and
// continue indented by two spaces.
std::string WrappedHex(const std::vector<uint8_t>& data, size_t column) {
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    std::string piece = Hex2(data[i]) + (i + 1 < data.size() ? "," : "");
    if (i > 0 && column + piece.size() > 78) {
      out += "\\\n  ";
      column = 2;
    }
    out += piece;
    column += piece.size();
  }
  return out;
}

std::string ValueLine(const RegValueRow& value) {
  std::string name = value.name.empty() ? "@" : "\"" + Escape(value.name) + "\"";
  std::u16string text;
  if ((value.type == REG_SZ) && AsPlainString(value.data, &text)) return name + "=\"" + Escape(text) + "\"";
  if (value.type == REG_DWORD && value.data.size() == 4) return name + "=" + FormatRegValue(value.type, value.data);
  std::string head = name + "=" + HexKeyword(value.type);
  return head + WrappedHex(value.data, head.size());
}

void ExportKey(RegistryStore& store, int64_t id, const std::string& path, std::string* out) {
  *out += "[" + path + "]\n";
  for (const auto& value : store.Values(id)) *out += ValueLine(value) + "\n";
  *out += "\n";
  for (const auto& sub : store.Subkeys(id)) ExportKey(store, sub.id, path + "\\" + ToUtf8(sub.name), out);
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>* out) {
  std::string digits;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    digits += c;
  }
  if (digits.size() % 2) return false;
  out->clear();
  for (size_t i = 0; i < digits.size(); i += 2) out->push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return true;
}

void AppendUtf16(std::u16string_view text, std::vector<uint8_t>* out) {
  size_t at = out->size();
  out->resize(at + (text.size() + 1) * 2, 0);
  std::memcpy(out->data() + at, text.data(), text.size() * 2);
}

std::string Printf(const char* format, unsigned long long a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

std::string SortText(const SORTORDERSPEC& s) {
  std::string out = Printf("0x%08llx", s.propid);
  if (s.dwFlags & CEDB_SORT_DESCENDING) out += " descending";
  if (s.dwFlags & CEDB_SORT_CASEINSENSITIVE) out += " caseinsensitive";
  if (s.dwFlags & CEDB_SORT_UNKNOWNFIRST) out += " unknownfirst";
  return out;
}

std::string DatabaseLine(const DatabaseInfo& info) {
  std::string out = Printf("0x%08llx", info.oid) + " \"" + Escape(info.name) + "\" type " + Printf("0x%08llx", info.type) +
                    ", " + std::to_string(info.records) + " records, " + std::to_string(info.size) + " bytes";
  for (size_t i = 0; i < info.sorts.size(); ++i) out += (i ? ", " : ", sort ") + SortText(info.sorts[i]);
  return out;
}

template <class T>
T Fixed(const Property& p) {
  T v{};
  std::memcpy(&v, p.bytes.data(), std::min(sizeof v, p.bytes.size()));
  return v;
}

std::string PropertyText(const Property& p) {
  std::string id = Printf("0x%08llx ", p.propid);
  switch (p.Type()) {
    case CEVT_I2:
      return id + "i2 " + std::to_string(Fixed<int16_t>(p));
    case CEVT_UI2:
      return id + "ui2 " + std::to_string(Fixed<uint16_t>(p));
    case CEVT_I4:
      return id + "i4 " + std::to_string(Fixed<int32_t>(p));
    case CEVT_UI4:
      return id + "ui4 " + std::to_string(Fixed<uint32_t>(p));
    case CEVT_BOOL:
      return id + "bool " + std::to_string(Fixed<int32_t>(p));
    case CEVT_R8:
      return id + "r8 " + std::to_string(Fixed<double>(p));
    case CEVT_FILETIME:
      return id + "filetime " + Printf("0x%016llx", Fixed<uint64_t>(p));
    case CEVT_LPWSTR: {
      std::u16string text(p.bytes.size() / 2, u'\0');
      std::memcpy(text.data(), p.bytes.data(), text.size() * 2);
      while (!text.empty() && text.back() == 0) text.pop_back();
      return id + "lpwstr \"" + Escape(text) + "\"";
    }
    default: {
      std::string out = id + "blob " + std::to_string(p.bytes.size()) + ":";
      for (uint8_t b : p.bytes) out += " " + Hex2(b);
      return out;
    }
  }
}

Device* RequireDevice(std::string* error) {
  Device* device = Device::Current();
  if (!device && error) *error = "no device (set CEDEV_DEVICE or use -d DIR)";
  return device;
}

// The registry and database tables with their columns, in one place for
// both directions of the factory copy.
struct TableSpec {
  const char* name;
  const char* columns;
};
const TableSpec kFactoryTables[] = {{"reg_keys", "id, parent, name, fold, class"},
                                    {"reg_values", "id, key, name, fold, type, data"},
                                    {"db_objects", "oid, db, props, size"},
                                    {"db_databases", "oid, name, fold, type, flags, sorts, modified"}};

// Attaches a second database file to a connection for the life of the object.
class Attached {
 public:
  Attached(SqlDb& db, const std::filesystem::path& path) : db_(db) {
    auto stmt = db_.Prepare("ATTACH DATABASE ? AS factory");
    ok_ = stmt.Bind(1, std::string_view(path.string())).Run();
  }
  ~Attached() {
    if (ok_) db_.Exec("DETACH DATABASE factory");
  }
  bool ok() const { return ok_; }

 private:
  SqlDb& db_;
  bool ok_ = false;
};

}  // namespace

bool SplitRegistryPath(std::string_view path, HKEY* root, std::u16string* subkey, std::string* error) {
  size_t slash = path.find('\\');
  std::string_view head = path.substr(0, slash);
  for (int i = 0; i < 4; ++i) {
    if (EqualNoCase(FromUtf8(head), kRegRootNames[i]) || EqualNoCase(FromUtf8(head), FromUtf8(kRoots[i].shorthand))) {
      *root = kRoots[i].handle;
      *subkey = slash == std::string_view::npos ? std::u16string() : FromUtf8(path.substr(slash + 1));
      return true;
    }
  }
  if (error) *error = std::string(path) + ": not a registry key path (it must start with a root such as HKEY_LOCAL_MACHINE)";
  return false;
}

std::string FormatRegValue(DWORD type, const std::vector<uint8_t>& data) {
  std::u16string text;
  if ((type == REG_SZ) && AsPlainString(data, &text)) return "\"" + Escape(text) + "\"";
  if (type == REG_DWORD && data.size() == 4) {
    DWORD v;
    std::memcpy(&v, data.data(), 4);
    return Printf("dword:%08llx", v);
  }
  std::string out = HexKeyword(type);
  for (size_t i = 0; i < data.size(); ++i) out += (i ? "," : "") + Hex2(data[i]);
  return out;
}

bool ExportRegistry(std::string_view key_path, std::string* out, std::string* error) {
  Device* device = RequireDevice(error);
  if (!device) return false;
  RegistryStore store(device->Db(), device);
  *out = "Windows Registry Editor Version 5.00\n\n";
  if (key_path.empty()) {
    for (int i = 0; i < 4; ++i) ExportKey(store, kRegRootIds[i], FullName(i), out);
    return true;
  }
  HKEY root;
  std::u16string sub;
  if (!SplitRegistryPath(key_path, &root, &sub, error)) return false;
  int64_t id = kRegRootIds[RootIndex(root)];
  std::string path = FullName(RootIndex(root));
  std::u16string_view rest = sub;
  while (!rest.empty()) {
    size_t slash = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, slash);
    rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash + 1);
    if (part.empty()) continue;
    int64_t child = 0;
    for (const auto& k : store.Subkeys(id)) {
      if (EqualNoCase(k.name, part)) {
        child = k.id;
        path += "\\" + ToUtf8(k.name);
      }
    }
    if (!child) {
      if (error) *error = std::string(key_path) + ": no such registry key";
      return false;
    }
    id = child;
  }
  ExportKey(store, id, path, out);
  return true;
}

bool ParseRegValue(std::string_view type, std::string_view data, DWORD* reg_type, std::vector<uint8_t>* bytes,
                   std::string* error) {
  bytes->clear();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (type == "sz" || type == "expand_sz") {
    *reg_type = type == "sz" ? REG_SZ : REG_EXPAND_SZ;
    AppendUtf16(FromUtf8(data), bytes);
    return true;
  }
  if (type == "multi_sz") {
    *reg_type = REG_MULTI_SZ;
    std::string_view rest = data;
    while (!rest.empty()) {
      size_t sep = rest.find("\\0");
      AppendUtf16(FromUtf8(rest.substr(0, sep)), bytes);
      rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 2);
    }
    bytes->push_back(0);
    bytes->push_back(0);
    return true;
  }
  if (type == "dword") {
    *reg_type = REG_DWORD;
    std::string text(data);
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end || errno || v > 0xFFFFFFFFull || text[0] == '-') {
      return fail("'" + text + "' is not a DWORD (decimal or 0x hex, 0 to 4294967295)");
    }
    DWORD dword = static_cast<DWORD>(v);
    bytes->resize(4);
    std::memcpy(bytes->data(), &dword, 4);
    return true;
  }
  if (type == "binary") {
    *reg_type = REG_BINARY;
    if (!ParseHexBytes(data, bytes)) return fail("'" + std::string(data) + "' is not hex bytes (like 01,ab,ff)");
    return true;
  }
  return fail("unknown value type '" + std::string(type) + "' (sz, expand_sz, multi_sz, dword, binary)");
}

bool ListDatabases(std::string* out, std::string* error) {
  Device* device = RequireDevice(error);
  if (!device) return false;
  DatabaseStore store(device->Db());
  out->clear();
  for (CEOID oid : store.List(0)) {
    DatabaseInfo info;
    if (store.Info(oid, &info)) *out += DatabaseLine(info) + "\n";
  }
  return true;
}

bool DumpDatabases(std::string_view name, std::string* out, std::string* error) {
  Device* device = RequireDevice(error);
  if (!device) return false;
  DatabaseStore store(device->Db());
  std::vector<CEOID> oids;
  if (name.empty()) {
    oids = store.List(0);
  } else if (CEOID oid = store.FindByName(FromUtf8(name))) {
    oids.push_back(oid);
  } else {
    if (error) *error = std::string(name) + ": no such database";
    return false;
  }
  out->clear();
  for (CEOID oid : oids) {
    DatabaseInfo info;
    if (!store.Info(oid, &info)) continue;
    *out += DatabaseLine(info) + "\n";
    for (const auto& [record_oid, record] : store.Records(oid)) {
      *out += "  record " + Printf("0x%08llx", record_oid) + "\n";
      for (const auto& p : record) *out += "    " + PropertyText(p) + "\n";
    }
  }
  return true;
}

bool SaveRegistryAndDatabasesToFactory(const std::filesystem::path& factory_db, std::string* error) {
  Device* device = RequireDevice(error);
  if (!device) return false;
  SqlDb& db = device->Db();
  Attached attached(db, factory_db);
  if (!attached.ok()) {
    if (error) *error = factory_db.string() + ": cannot open (" + db.ErrorMessage() + ")";
    return false;
  }
  SqlTxn txn(db);
  for (const auto& t : kFactoryTables) {
    std::string sql = std::string("DROP TABLE IF EXISTS factory.") + t.name + "; CREATE TABLE factory." + t.name +
                      " AS SELECT " + t.columns + " FROM main." + t.name + ";";
    if (!db.Exec(sql)) {
      if (error) *error = factory_db.string() + ": cannot save " + t.name + " (" + db.ErrorMessage() + ")";
      return false;
    }
  }
  if (!txn.Commit()) {
    if (error) *error = factory_db.string() + ": " + db.ErrorMessage();
    return false;
  }
  return true;
}

bool RestoreRegistryAndDatabasesFromFactory(const std::filesystem::path& factory_db, std::string* error) {
  Device* device = RequireDevice(error);
  if (!device) return false;
  std::error_code ec;
  if (!std::filesystem::exists(factory_db, ec)) {
    if (error) *error = factory_db.string() + ": no factory registry and databases";
    return false;
  }
  SqlDb& db = device->Db();
  Attached attached(db, factory_db);
  if (!attached.ok()) {
    if (error) *error = factory_db.string() + ": cannot open (" + db.ErrorMessage() + ")";
    return false;
  }
  {
    auto stmt = db.Prepare(
        "SELECT COUNT(*) FROM factory.sqlite_master WHERE type = 'table' AND name IN "
        "('reg_keys', 'reg_values', 'db_objects', 'db_databases')");
    if (!stmt.Step() || stmt.Int(0) != 4) {
      if (error) *error = factory_db.string() + ": holds no saved registry and databases";
      return false;
    }
  }
  SqlTxn txn(db);
  for (const auto& t : kFactoryTables) {
    std::string sql = std::string("DELETE FROM main.") + t.name + "; INSERT INTO main." + t.name + "(" + t.columns +
                      ") SELECT " + t.columns + " FROM factory." + t.name + ";";
    if (!db.Exec(sql)) {
      if (error) *error = factory_db.string() + ": cannot restore " + t.name + " (" + db.ErrorMessage() + ")";
      return false;
    }
  }
  if (!txn.Commit()) {
    if (error) *error = device->StateDbPath().string() + ": " + db.ErrorMessage();
    return false;
  }
  NoteRegistryChanged();
  NoteDatabasesChanged();
  return true;
}

}  // namespace cedev

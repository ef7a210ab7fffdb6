#include "db_json.h"

#include <cmath>
#include <cstring>

#include "ce/database.h"
#include "text.h"

namespace tlvarc {
namespace {

using nlohmann::json;

DWORD Get32(const BYTE* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }
void Put32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = BYTE(v >> (8 * i));
}
uint64_t Get64(const BYTE* p) { return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32; }
void Put64(BYTE* p, uint64_t v) {
  Put32(p, DWORD(v));
  Put32(p + 4, DWORD(v >> 32));
}

const struct {
  WORD type;
  const char* name;
} kTypes[] = {{CEVT_I2, "i2"},         {CEVT_UI2, "ui2"},         {CEVT_I4, "i4"},       {CEVT_UI4, "ui4"},
              {CEVT_BOOL, "bool"},     {CEVT_R8, "r8"},           {CEVT_FILETIME, "filetime"},
              {CEVT_LPWSTR, "string"}, {CEVT_BLOB, "blob"}};

const char* TypeName(WORD type) {
  for (const auto& t : kTypes)
    if (t.type == type) return t.name;
  return nullptr;
}

bool TypeFromName(const std::string& name, WORD* type) {
  for (const auto& t : kTypes) {
    if (name == t.name) {
      *type = t.type;
      return true;
    }
  }
  return false;
}

std::u16string StringAt(const std::vector<BYTE>& b, size_t at) {
  std::u16string out;
  for (; at + 2 <= b.size(); at += 2) {
    char16_t c = char16_t(b[at] | b[at + 1] << 8);
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

json PropertyToJson(const BYTE* e, const std::vector<BYTE>& buffer) {
  DWORD propid = Get32(e);
  WORD type = WORD(propid);
  json p = {{"id", propid >> 16}, {"type", TypeName(type)}};
  WORD length = WORD(e[4] | e[5] << 8), flags = WORD(e[6] | e[7] << 8);
  if (length) p["length"] = length;
  if (flags) p["flags"] = flags;
  const BYTE* v = e + 8;
  switch (type) {
    case CEVT_I2: p["value"] = int16_t(v[0] | v[1] << 8); break;
    case CEVT_UI2: p["value"] = uint16_t(v[0] | v[1] << 8); break;
    case CEVT_I4: p["value"] = int32_t(Get32(v)); break;
    case CEVT_UI4: p["value"] = Get32(v); break;
    case CEVT_BOOL: p["value"] = Get32(v); break;
    case CEVT_FILETIME: p["value"] = Get64(v); break;
    case CEVT_R8: {
      double d;
      std::memcpy(&d, v, 8);
      p["value"] = std::isfinite(d) ? json(d) : json(nullptr);
      break;
    }
    case CEVT_LPWSTR: {
      DWORD at = Get32(v);
      PutName(&p, "value", StringAt(buffer, at));
      p["offset"] = at;
      break;
    }
    case CEVT_BLOB: {
      DWORD size = Get32(v), at = Get32(v + 4);
      p["value"] = HexBytes(buffer.data() + at, size);
      p["offset"] = at;
      break;
    }
  }
  return p;
}

Status Bad(const std::string& what) { return Status::Usage("databases.json: " + what); }

}  // namespace

std::string HexBytes(const BYTE* data, size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

bool ParseHexBytes(const std::string& text, std::vector<BYTE>* out) {
  if (text.size() % 2) return false;
  out->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      char c = text[i + size_t(k)];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      v = v << 4 | d;
    }
    out->push_back(BYTE(v));
  }
  return true;
}

void PutName(json* object, const char* key, const std::u16string& name) {
  (*object)[key] = Utf8(name);
  if (!IsExactText(name)) (*object)[std::string(key) + "Units"] = std::vector<unsigned>(name.begin(), name.end());
}

Status GetName(const json& object, const char* key, std::u16string* name) {
  std::string units_key = std::string(key) + "Units";
  if (object.contains(units_key)) {
    name->clear();
    for (const json& u : object[units_key]) {
      if (!u.is_number_unsigned() || u.get<unsigned>() > 0xFFFF) return Bad(units_key + " holds a number that is not a UTF-16 unit");
      name->push_back(char16_t(u.get<unsigned>()));
    }
    return {};
  }
  if (!object.contains(key) || !object[key].is_string()) return Bad(std::string("\"") + key + "\" must be a string");
  if (!FromUtf8(object[key].get<std::string>(), name)) return Bad(std::string("\"") + key + "\" is not UTF-8 text");
  return {};
}

json RecordToJson(const DbRecord& record) {
  json props = json::array();
  for (WORD i = 0; i < record.property_count; ++i) props.push_back(PropertyToJson(record.buffer.data() + 16 * i, record.buffer));
  json out = {{"size", record.buffer.size()}, {"properties", props}};
  WORD count = 0;
  std::vector<BYTE> rebuilt;
  if (!RecordFromJson(out, &count, &rebuilt).ok() || rebuilt != record.buffer)
    out["raw"] = HexBytes(record.buffer.data(), record.buffer.size());
  return out;
}

Status RecordFromJson(const json& record, WORD* property_count, std::vector<BYTE>* buffer) {
  if (!record.is_object() || !record.contains("properties") || !record["properties"].is_array())
    return Bad("a record needs a \"properties\" list");
  const json& props = record["properties"];
  if (props.empty() || props.size() > 0xFFFF) return Bad("a record holds 1 to 65535 properties");
  *property_count = WORD(props.size());
  if (record.contains("raw")) {
    if (!record["raw"].is_string() || !ParseHexBytes(record["raw"].get<std::string>(), buffer))
      return Bad("\"raw\" must be hex digits");
    if (buffer->size() < props.size() * 16) return Bad("\"raw\" is too short for its properties");
    return {};
  }
  bool laid_out = record.contains("size");
  size_t size = laid_out ? record["size"].get<size_t>() : props.size() * 16;
  if (size < props.size() * 16 || size > kMaxRecordBytes) return Bad("a record's size does not fit its properties");
  buffer->assign(size, 0);
  for (size_t i = 0; i < props.size(); ++i) {
    const json& p = props[i];
    WORD type = 0;
    if (!p.contains("type") || !p["type"].is_string() || !TypeFromName(p["type"].get<std::string>(), &type))
      return Bad("property " + std::to_string(i + 1) + " has no known \"type\"");
    if (!p.contains("id") || !p["id"].is_number_unsigned() || p["id"].get<uint64_t>() > 0xFFFF)
      return Bad("property " + std::to_string(i + 1) + " needs an \"id\" of 0 to 65535");
    BYTE* e = buffer->data() + 16 * i;
    Put32(e, DWORD(p["id"].get<unsigned>()) << 16 | type);
    WORD length = p.value("length", 0), flags = p.value("flags", 0);
    e[4] = BYTE(length), e[5] = BYTE(length >> 8), e[6] = BYTE(flags), e[7] = BYTE(flags >> 8);
    const json& v = p.contains("value") ? p["value"] : json(nullptr);
    // Where this property's string or blob goes: its stored offset, or the end.
    auto place = [&](const std::vector<BYTE>& bytes, DWORD* at) -> Status {
      if (laid_out && p.contains("offset")) {
        *at = p["offset"].get<DWORD>();
        if (uint64_t(*at) + bytes.size() > buffer->size()) return Bad("property " + std::to_string(i + 1) + " lies outside its record");
      } else {
        *at = DWORD(buffer->size());
        buffer->resize(buffer->size() + bytes.size(), 0);
        e = buffer->data() + 16 * i;
      }
      if (!bytes.empty()) std::memcpy(buffer->data() + *at, bytes.data(), bytes.size());
      return {};
    };
    try {
      switch (type) {
        case CEVT_I2: { int16_t x = v.get<int16_t>(); e[8] = BYTE(x), e[9] = BYTE(uint16_t(x) >> 8); break; }
        case CEVT_UI2: { uint16_t x = v.get<uint16_t>(); e[8] = BYTE(x), e[9] = BYTE(x >> 8); break; }
        case CEVT_I4: Put32(e + 8, DWORD(v.get<int32_t>())); break;
        case CEVT_UI4:
        case CEVT_BOOL: Put32(e + 8, v.get<uint32_t>()); break;
        case CEVT_FILETIME: Put64(e + 8, v.get<uint64_t>()); break;
        case CEVT_R8: {
          if (v.is_null()) return Bad("property " + std::to_string(i + 1) + ": an r8 that is not a finite number needs \"raw\"");
          double d = v.get<double>();
          std::memcpy(e + 8, &d, 8);
          break;
        }
        case CEVT_LPWSTR: {
          std::u16string text;
          TLVARC_TRY(GetName(p, "value", &text));
          std::vector<BYTE> bytes;
          for (char16_t c : text) bytes.push_back(BYTE(c)), bytes.push_back(BYTE(c >> 8));
          bytes.push_back(0), bytes.push_back(0);
          DWORD at = 0;
          TLVARC_TRY(place(bytes, &at));
          Put32(buffer->data() + 16 * i + 8, at);
          break;
        }
        case CEVT_BLOB: {
          std::vector<BYTE> bytes;
          if (!v.is_string() || !ParseHexBytes(v.get<std::string>(), &bytes)) return Bad("a blob's value must be hex digits");
          DWORD at = 0;
          TLVARC_TRY(place(bytes, &at));
          Put32(buffer->data() + 16 * i + 8, DWORD(bytes.size()));
          Put32(buffer->data() + 16 * i + 12, at);
          break;
        }
      }
    } catch (const json::exception&) {
      return Bad("property " + std::to_string(i + 1) + " has a value that does not fit its type");
    }
  }
  if (buffer->size() > kMaxRecordBytes) return Bad("a record is larger than any record");
  return {};
}

json DatabaseToJson(const std::u16string& name, const DatabaseFields& fields) {
  json sorts = json::array();
  for (const SortOrder& s : fields.sorts) sorts.push_back({{"propid", s.propid}, {"flags", s.flags}});
  json db = {{"type", fields.type}, {"sortOrders", sorts}};
  PutName(&db, "name", name);
  return db;
}

Status DatabaseFromJson(const json& db, std::u16string* name, DatabaseFields* fields) {
  if (!db.is_object()) return Bad("a database must be an object");
  TLVARC_TRY(GetName(db, "name", name));
  try {
    fields->type = db.value("type", 0u);
    fields->sorts.clear();
    if (db.contains("sortOrders")) {
      for (const json& s : db["sortOrders"]) fields->sorts.push_back({s.at("propid").get<DWORD>(), s.at("flags").get<DWORD>()});
    }
  } catch (const json::exception&) {
    return Bad(Utf8(*name) + ": type and sort orders must be numbers");
  }
  if (fields->sorts.size() > CEDB_MAXSORTORDER) return Bad(Utf8(*name) + ": at most 4 sort orders");
  return {};
}

}  // namespace tlvarc

#include "db_json.h"

#include <cmath>
#include <cstring>

#include "archive_format.h"
#include "little_endian.h"
#include "text.h"

namespace tlvarc {
namespace {

using nlohmann::json;

using archive::GetLe16;
using archive::GetLe32;
using archive::GetLe64;
using archive::PutLe16;
using archive::PutLe32;
using archive::PutLe64;

const struct {
  uint16_t type;
  const char* name;
} kTypes[] = {{archive::kPropI2, "i2"},         {archive::kPropUI2, "ui2"},         {archive::kPropI4, "i4"},       {archive::kPropUI4, "ui4"},
              {archive::kPropBool, "bool"},     {archive::kPropR8, "r8"},           {archive::kPropFileTime, "filetime"},
              {archive::kPropString, "string"}, {archive::kPropBlob, "blob"}};

const char* TypeName(uint16_t type) {
  for (const auto& t : kTypes)
    if (t.type == type) return t.name;
  return nullptr;
}

bool TypeFromName(const std::string& name, uint16_t* type) {
  for (const auto& t : kTypes) {
    if (name == t.name) {
      *type = t.type;
      return true;
    }
  }
  return false;
}

std::u16string StringAt(const std::vector<uint8_t>& b, size_t at) {
  std::u16string out;
  for (; at + 2 <= b.size(); at += 2) {
    char16_t c = char16_t(GetLe16(b.data() + at));
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

json PropertyToJson(const uint8_t* e, const std::vector<uint8_t>& buffer) {
  uint32_t propid = GetLe32(e);
  uint16_t type = uint16_t(propid);
  json p = {{"id", propid >> 16}, {"type", TypeName(type)}};
  uint16_t length = GetLe16(e + 4), flags = GetLe16(e + 6);
  if (length) p["length"] = length;
  if (flags) p["flags"] = flags;
  const uint8_t* v = e + 8;
  switch (type) {
    case archive::kPropI2: p["value"] = int16_t(GetLe16(v)); break;
    case archive::kPropUI2: p["value"] = GetLe16(v); break;
    case archive::kPropI4: p["value"] = int32_t(GetLe32(v)); break;
    case archive::kPropUI4: p["value"] = GetLe32(v); break;
    case archive::kPropBool: p["value"] = GetLe32(v); break;
    case archive::kPropFileTime: p["value"] = GetLe64(v); break;
    case archive::kPropR8: {
      double d;
      std::memcpy(&d, v, 8);
      p["value"] = std::isfinite(d) ? json(d) : json(nullptr);
      break;
    }
    case archive::kPropString: {
      uint32_t at = GetLe32(v);
      PutName(&p, "value", StringAt(buffer, at));
      p["offset"] = at;
      break;
    }
    case archive::kPropBlob: {
      uint32_t size = GetLe32(v), at = GetLe32(v + 4);
      // An empty blob may name any offset: nothing is read from it.
      p["value"] = size ? HexBytes(buffer.data() + at, size) : "";
      p["offset"] = at;
      break;
    }
  }
  return p;
}

Status Bad(const std::string& what) { return Status::Usage("databases.json: " + what); }

}  // namespace

std::string HexBytes(const uint8_t* data, size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* out) {
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
    out->push_back(uint8_t(v));
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
  for (uint16_t i = 0; i < record.property_count; ++i) props.push_back(PropertyToJson(record.buffer.data() + 16 * i, record.buffer));
  json out = {{"size", record.buffer.size()}, {"properties", props}};
  uint16_t count = 0;
  std::vector<uint8_t> rebuilt;
  if (!RecordFromJson(out, &count, &rebuilt).ok() || rebuilt != record.buffer)
    out["raw"] = HexBytes(record.buffer.data(), record.buffer.size());
  return out;
}

Status RecordFromJson(const json& record, uint16_t* property_count, std::vector<uint8_t>* buffer) {
  if (!record.is_object() || !record.contains("properties") || !record["properties"].is_array())
    return Bad("a record needs a \"properties\" list");
  const json& props = record["properties"];
  if (props.empty() || props.size() > 0xFFFF) return Bad("a record holds 1 to 65535 properties");
  *property_count = uint16_t(props.size());
  if (record.contains("raw")) {
    if (!record["raw"].is_string() || !ParseHexBytes(record["raw"].get<std::string>(), buffer))
      return Bad("\"raw\" must be hex digits");
    if (buffer->size() < props.size() * 16) return Bad("\"raw\" is too short for its properties");
    return {};
  }
  bool laid_out = record.contains("size");
  size_t size = laid_out ? record["size"].get<size_t>() : props.size() * 16;
  if (size < props.size() * 16 || size > archive::kMaxRecordBytes) return Bad("a record's size does not fit its properties");
  buffer->assign(size, 0);
  for (size_t i = 0; i < props.size(); ++i) {
    const json& p = props[i];
    uint16_t type = 0;
    if (!p.contains("type") || !p["type"].is_string() || !TypeFromName(p["type"].get<std::string>(), &type))
      return Bad("property " + std::to_string(i + 1) + " has no known \"type\"");
    if (!p.contains("id") || !p["id"].is_number_unsigned() || p["id"].get<uint64_t>() > 0xFFFF)
      return Bad("property " + std::to_string(i + 1) + " needs an \"id\" of 0 to 65535");
    uint8_t* e = buffer->data() + 16 * i;
    PutLe32(e, uint32_t(p["id"].get<unsigned>()) << 16 | type);
    uint16_t length = p.value("length", 0), flags = p.value("flags", 0);
    PutLe16(e + 4, length);
    PutLe16(e + 6, flags);
    const json& v = p.contains("value") ? p["value"] : json(nullptr);
    // Where this property's string or blob goes: its stored offset, or the end.
    auto place = [&](const std::vector<uint8_t>& bytes, uint32_t* at) -> Status {
      if (laid_out && p.contains("offset")) {
        *at = p["offset"].get<uint32_t>();
        if (uint64_t(*at) + bytes.size() > buffer->size()) return Bad("property " + std::to_string(i + 1) + " lies outside its record");
      } else {
        *at = uint32_t(buffer->size());
        buffer->resize(buffer->size() + bytes.size(), 0);
        e = buffer->data() + 16 * i;
      }
      if (!bytes.empty()) std::memcpy(buffer->data() + *at, bytes.data(), bytes.size());
      return {};
    };
    try {
      switch (type) {
        case archive::kPropI2: PutLe16(e + 8, uint16_t(v.get<int16_t>())); break;
        case archive::kPropUI2: PutLe16(e + 8, v.get<uint16_t>()); break;
        case archive::kPropI4: PutLe32(e + 8, uint32_t(v.get<int32_t>())); break;
        case archive::kPropUI4:
        case archive::kPropBool: PutLe32(e + 8, v.get<uint32_t>()); break;
        case archive::kPropFileTime: PutLe64(e + 8, v.get<uint64_t>()); break;
        case archive::kPropR8: {
          if (v.is_null()) return Bad("property " + std::to_string(i + 1) + ": an r8 that is not a finite number needs \"raw\"");
          double d = v.get<double>();
          std::memcpy(e + 8, &d, 8);
          break;
        }
        case archive::kPropString: {
          std::u16string text;
          TLVARC_TRY(GetName(p, "value", &text));
          std::vector<uint8_t> bytes;
          for (char16_t c : text) bytes.push_back(uint8_t(c)), bytes.push_back(uint8_t(c >> 8));
          bytes.push_back(0), bytes.push_back(0);
          uint32_t at = 0;
          TLVARC_TRY(place(bytes, &at));
          PutLe32(buffer->data() + 16 * i + 8, at);
          break;
        }
        case archive::kPropBlob: {
          std::vector<uint8_t> bytes;
          if (!v.is_string() || !ParseHexBytes(v.get<std::string>(), &bytes)) return Bad("a blob's value must be hex digits");
          uint32_t at = 0;
          TLVARC_TRY(place(bytes, &at));
          PutLe32(buffer->data() + 16 * i + 8, uint32_t(bytes.size()));
          PutLe32(buffer->data() + 16 * i + 12, at);
          break;
        }
      }
    } catch (const json::exception&) {
      return Bad("property " + std::to_string(i + 1) + " has a value that does not fit its type");
    }
  }
  if (buffer->size() > archive::kMaxRecordBytes) return Bad("a record is larger than any record");
  return {};
}

json DatabaseToJson(const std::u16string& name, const DatabaseFields& fields) {
  json sorts = json::array();
  for (uint16_t i = 0; i < fields.sortCount; ++i)
    sorts.push_back({{"propid", fields.sorts[i].propid}, {"flags", fields.sorts[i].flags}});
  json db = {{"type", fields.type}, {"sortOrders", sorts}};
  PutName(&db, "name", name);
  return db;
}

Status DatabaseFromJson(const json& db, std::u16string* name, DatabaseFields* fields) {
  if (!db.is_object()) return Bad("a database must be an object");
  TLVARC_TRY(GetName(db, "name", name));
  try {
    *fields = DatabaseFields{};
    fields->type = db.value("type", 0u);
    if (db.contains("sortOrders")) {
      if (db["sortOrders"].size() > archive::kMaxSortOrders) return Bad(Utf8(*name) + ": at most 4 sort orders");
      for (const json& s : db["sortOrders"])
        fields->sorts[fields->sortCount++] = {s.at("propid").get<uint32_t>(), s.at("flags").get<uint32_t>()};
    }
  } catch (const json::exception&) {
    return Bad(Utf8(*name) + ": type and sort orders must be numbers");
  }
  return {};
}

}  // namespace tlvarc

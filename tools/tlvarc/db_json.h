// Database records as JSON with typed properties, both ways. A record keeps
// the layout of its property buffer (size and the offset of every string and
// blob) so create rebuilds the same bytes; a record that the typed form
// cannot give back exactly (bytes the types do not cover) also carries its
// raw buffer in hex, which create then uses as it is.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "record_walker.h"
#include "status.h"

namespace tlvarc {

nlohmann::json RecordToJson(const DbRecord& record);
// The property buffer (archive form) and property count of a record object.
// Without "size" and offsets the strings and blobs are laid out after the
// entries, in order, so a record can be written by hand.
Status RecordFromJson(const nlohmann::json& record, uint16_t* property_count, std::vector<uint8_t>* buffer);

nlohmann::json DatabaseToJson(const std::u16string& name, const DatabaseFields& fields);
Status DatabaseFromJson(const nlohmann::json& db, std::u16string* name, DatabaseFields* fields);

// Names as JSON: "name", plus "units" (the UTF-16 units) when text cannot carry them exactly.
void PutName(nlohmann::json* object, const char* key, const std::u16string& name);
Status GetName(const nlohmann::json& object, const char* key, std::u16string* name);

std::string HexBytes(const uint8_t* data, size_t size);
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* out);

}  // namespace tlvarc

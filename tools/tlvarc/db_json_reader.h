// Reads databases.json as a stream: the folder, then each database and its
// records one at a time, so packing a device with many records never holds
// the whole file. A database's own fields (name, type, sort orders) must
// come before its "records", and the folder's name before "databases", as
// extract writes them.
#pragma once

#include <functional>
#include <istream>
#include <nlohmann/json.hpp>
#include <string>

#include "status.h"

namespace tlvarc {

struct DatabaseJsonEvents {
  // The folder object without its "databases".
  std::function<Status(const nlohmann::json&)> folder;
  // A database object without its "records".
  std::function<Status(const nlohmann::json&)> database;
  std::function<Status(const nlohmann::json&)> record;
  std::function<Status()> database_end;
};

// `where` names the input in messages.
Status ReadDatabaseJson(std::istream& in, const std::string& where, const DatabaseJsonEvents& events);

}  // namespace tlvarc

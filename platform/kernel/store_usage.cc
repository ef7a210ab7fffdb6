#include "store_usage.h"

#include "device.h"

namespace cedev {
namespace {

uint64_t SumOf(const char* sql) {
  Device* device = Device::Current();
  if (!device) return 0;
  auto stmt = device->Db().Cached(sql);
  return stmt->Step() ? static_cast<uint64_t>(stmt->Int(0)) : 0;
}

}  // namespace

// SQLite's length() of text counts characters, so names count as UTF-16.
uint64_t RegistryBytesUsed() {
  return SumOf("SELECT COALESCE(SUM(2 * length(name) + 2 * length(class)), 0) FROM reg_keys") +
         SumOf("SELECT COALESCE(SUM(2 * length(name) + length(data)), 0) FROM reg_values");
}

uint64_t DatabaseBytesUsed() {
  return SumOf("SELECT COALESCE(SUM(size), 0) FROM db_objects") +
         SumOf("SELECT COUNT(*) * 64 FROM db_databases");  // a description, roughly a CEDBASEINFO each
}

}  // namespace cedev

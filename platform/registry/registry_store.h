// The registry's rows in state.db. Keys and values carry their names as given
// plus a case-folded copy for lookups; enumeration follows the row ids, which
// are never reused, so it is creation order and a deleted key's id can never
// come back to life under an old handle. After every committed change the
// writer bumps the registry's shared counter, which lets key handles keep an
// enumeration snapshot until something (in any device program) changes the
// registry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ce/types.h"
#include "node_rules.h"
#include "sql.h"

namespace cedev {

// Row ids of the four roots, fixed when the schema is created, and their
// names (the archive's table: the same roots in the same order).
constexpr int64_t kRegRootIds[4] = {1, 2, 3, 4};
inline const char16_t* const* const kRegRootNames = archive::kRegistryRootNames;

struct RegKeyRow {
  int64_t id = 0;
  std::u16string name;
  std::u16string class_name;
};

struct RegValueRow {
  std::u16string name;
  DWORD type = 0;
  std::vector<uint8_t> data;
};

class RegistryStore {
 public:
  // `device` tells snapshots of different devices apart (tests switch devices).
  RegistryStore(SqlDb& db, const void* device) : db_(db), device_(device) {}

  const void* DeviceToken() const { return device_; }

  int64_t Generation();
  bool KeyExists(int64_t id);
  // False when the key is gone.
  bool KeyClass(int64_t id, std::u16string* out);
  // 0 when `parent` has no subkey of that name.
  int64_t FindSubkey(int64_t parent, std::u16string_view name);
  // New subkey's id, 0 on failure.
  int64_t AddSubkey(int64_t parent, std::u16string_view name, std::u16string_view class_name);
  std::vector<RegKeyRow> Subkeys(int64_t parent);
  std::vector<RegValueRow> Values(int64_t key);
  enum class Lookup { kFound, kNoValue, kNoKey };
  // One statement answers both whether the key exists and the value.
  Lookup GetValue(int64_t key, std::u16string_view name, RegValueRow* out);
  // False when the key is gone (or the database refused).
  bool SetValue(int64_t key, std::u16string_view name, DWORD type, const void* data, size_t size);
  // False when there was no such value; `freed` gets the bytes it took.
  bool DeleteValue(int64_t key, std::u16string_view name, int64_t* freed);
  // Removes the key, its values and every key below it.
  bool DeleteTree(int64_t id);

  // What the registry takes of the object store: names (and class names) as
  // UTF-16, value data as it is.
  static int64_t KeySize(size_t name_chars, size_t class_chars) {
    return 2 * static_cast<int64_t>(name_chars + class_chars);
  }
  static int64_t ValueSize(size_t name_chars, size_t data_bytes) {
    return 2 * static_cast<int64_t>(name_chars) + static_cast<int64_t>(data_bytes);
  }
  // -1 when the key has no such value.
  int64_t StoredValueSize(int64_t key, std::u16string_view name);
  // A key with its values and everything below it.
  int64_t SubtreeSize(int64_t id);

 private:
  SqlDb& db_;
  const void* device_;
};

// Tells every program's snapshots that the registry changed; call after the
// change is committed (bulk writers that wrap many changes in one
// transaction call it once after their commit).
void NoteRegistryChanged();

}  // namespace cedev

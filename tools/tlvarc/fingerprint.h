// What compare looks at: one fingerprint per entry of an archive (or of a
// device), keyed by its device path. Content is hashed as it streams past,
// so comparing archives holds one small entry per path, never content.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "record_walker.h"

namespace tlvarc {

enum class EntryKind { kFolder, kFile, kKey, kValue, kDatabaseFolder, kDatabase };

struct Fingerprint {
  EntryKind kind = EntryKind::kFolder;
  uint64_t content = 0;  // file content, value type and data, database records
  uint64_t meta = 0;     // attributes and times, key class, database type and sort orders
  uint64_t size = 0;
  bool kept = false;       // a restore never deletes it (a file in ROM or in use)
  bool left_out = false;   // a backup never carries it (the exclusion table)
  bool read_only = false;  // the mirror pass's plain delete leaves it; a folder's tree delete does not
  bool in_use = false;     // held open on the device: content unknown, a restore cannot replace it
};

class Hasher {
 public:
  void Add(const void* data, size_t size);
  void Add64(uint64_t v) { Add(&v, sizeof v); }
  uint64_t Value() const { return state_ ^ (state_ >> 29); }

 private:
  uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

using EntrySink = std::function<void(const std::u16string& path, const Fingerprint&)>;

// Fingerprints every entry of an archive, in archive order.
class FingerprintVisitor : public RecordVisitor {
 public:
  explicit FingerprintVisitor(EntrySink sink) : sink_(std::move(sink)) {}
  Status Enter(const NodeInfo& node) override;
  Status File(const NodeInfo& node, const FileFields& f, ContentReader& content) override;
  Status RegValue(const NodeInfo& node, uint32_t type, const std::vector<uint8_t>& data) override;
  Status Database(const NodeInfo& node, const DatabaseFields& f) override;
  Status Record(const NodeInfo& db, const DbRecord& record) override;
  Status DatabaseEnd(const NodeInfo& node) override;

 private:
  EntrySink sink_;
  Fingerprint database_;
  Hasher records_;
};

uint64_t FileMeta(const FileFields& f);

}  // namespace tlvarc

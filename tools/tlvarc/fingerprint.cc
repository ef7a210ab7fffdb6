#include "fingerprint.h"

#include <cstring>

namespace tlvarc {

void Hasher::Add(const void* data, size_t size) {
  // Eight bytes a step: fast enough to hash file content at disk speed.
  const uint8_t* p = static_cast<const uint8_t*>(data);
  constexpr uint64_t kMul = 0xFF51AFD7ED558CCDull;
  while (size >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    state_ = (state_ ^ w) * kMul;
    state_ ^= state_ >> 32;
    p += 8;
    size -= 8;
  }
  uint64_t tail = size;
  for (size_t i = 0; i < size; ++i) tail = tail << 8 | p[i];
  state_ = (state_ ^ tail ^ 0x100) * kMul;
  state_ ^= state_ >> 32;
}

uint64_t FileMeta(const FileFields& f) {
  Hasher h;
  h.Add64(f.attributes);
  for (const archive::FileTime* t : {&f.creation, &f.access, &f.write}) h.Add64(t->Ticks());
  return h.Value();
}

Status FingerprintVisitor::Enter(const NodeInfo& node) {
  Fingerprint fp;
  switch (node.type) {
    case archive::kNodeDirectory: fp.kind = EntryKind::kFolder; break;
    case archive::kNodeDbFolder: fp.kind = EntryKind::kDatabaseFolder; break;
    case archive::kNodeRegRoot:
    case archive::kNodeRegKey: {
      fp.kind = EntryKind::kKey;
      Hasher h;
      h.Add(node.class_name.data(), node.class_name.size() * 2);
      fp.meta = h.Value();
      break;
    }
    default: return {};
  }
  sink_(node.path, fp);
  return {};
}

Status FingerprintVisitor::File(const NodeInfo& node, const FileFields& f, ContentReader& content) {
  static thread_local std::vector<uint8_t> buffer(1 << 20);
  Hasher h;
  while (content.Remaining() > 0) {
    size_t got = 0;
    TLVARC_TRY(content.Read(buffer.data(), buffer.size(), &got));
    h.Add(buffer.data(), got);
  }
  sink_(node.path, Fingerprint{EntryKind::kFile, h.Value(), FileMeta(f), f.size});
  return {};
}

Status FingerprintVisitor::RegValue(const NodeInfo& node, uint32_t type, const std::vector<uint8_t>& data) {
  Hasher h;
  h.Add64(type);
  h.Add(data.data(), data.size());
  sink_(node.path, Fingerprint{EntryKind::kValue, h.Value(), 0, data.size()});
  return {};
}

Status FingerprintVisitor::Database(const NodeInfo&, const DatabaseFields& f) {
  Hasher meta;
  meta.Add64(f.type);
  for (uint16_t i = 0; i < f.sortCount; ++i) meta.Add64(uint64_t(f.sorts[i].propid) << 32 | f.sorts[i].flags);
  database_ = Fingerprint{EntryKind::kDatabase, 0, meta.Value(), 0};
  records_ = Hasher();
  return {};
}

Status FingerprintVisitor::Record(const NodeInfo&, const DbRecord& record) {
  records_.Add64(record.property_count);
  records_.Add(record.buffer.data(), record.buffer.size());
  ++database_.size;
  return {};
}

Status FingerprintVisitor::DatabaseEnd(const NodeInfo& node) {
  database_.content = records_.Value();
  sink_(node.path, database_);
  return {};
}

}  // namespace tlvarc

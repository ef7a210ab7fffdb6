#include "folder_names.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

namespace cedev {
namespace {

// Up to eight key bytes from `at` as one number that orders like the bytes;
// missing bytes count as zero.
uint64_t KeyHead(std::string_view key, size_t at) {
  uint64_t head = 0;
  for (size_t i = 0; i < 8; ++i) {
    head <<= 8;
    if (at + i < key.size()) head |= static_cast<unsigned char>(key[at + i]);
  }
  return head;
}

// An entry as the sort moves it: small, and usually ordered by `head` alone
// without touching the names.
struct SortItem {
  uint64_t head;
  uint32_t index;
  uint32_t position;
};

}  // namespace

void AppendSortKey(std::u16string_view folded, std::string* out) {
  size_t at = out->size();
  out->resize(at + folded.size() * 2);
  char* p = out->data() + at;
  for (char16_t unit : folded) {
    *p++ = static_cast<char>(unit >> 8);
    *p++ = static_cast<char>(unit & 0xFF);
  }
}

void FolderNames::Reserve(size_t names, size_t name_bytes) {
  slots_.reserve(names);
  names_.reserve(name_bytes + names);
  keys_.reserve(name_bytes * 2);
}

uint32_t FolderNames::Add(std::string_view host_name, std::u16string_view folded) {
  Slot slot{static_cast<uint32_t>(names_.size()), static_cast<uint32_t>(host_name.size()),
            static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(folded.size() * 2)};
  names_.append(host_name);
  names_.push_back('\0');
  AppendSortKey(folded, &keys_);
  slots_.push_back(slot);
  return static_cast<uint32_t>(slots_.size() - 1);
}

void FolderNames::DropLast() {
  const Slot& last = slots_.back();
  names_.resize(last.name_at);
  keys_.resize(last.key_at);
  slots_.pop_back();
}

bool FolderNames::Before(uint32_t a, uint32_t b) const {
  int by_key = Key(a).compare(Key(b));
  return by_key != 0 ? by_key < 0 : Name(a) < Name(b);
}

size_t FolderNames::SharedKeyBytes(const std::vector<uint32_t>& indices) const {
  if (indices.empty()) return 0;
  std::string_view first = Key(indices[0]);
  size_t shared = first.size();
  for (uint32_t i : indices) {
    std::string_view key = Key(i);
    size_t n = std::min(shared, key.size());
    size_t same = 0;
    while (same < n && key[same] == first[same]) ++same;
    shared = same;
    if (shared == 0) break;
  }
  return shared;
}

std::vector<uint32_t> FolderNames::Order(const std::vector<uint32_t>& indices) const {
  // Names in one folder often share a start ("IMG_0", "file"); the head is
  // taken after it so that it tells most pairs apart.
  size_t skip = SharedKeyBytes(indices);
  std::vector<SortItem> items;
  items.reserve(indices.size());
  for (uint32_t p = 0; p < indices.size(); ++p) items.push_back({KeyHead(Key(indices[p]), skip), indices[p], p});
  std::sort(items.begin(), items.end(), [this](const SortItem& a, const SortItem& b) {
    return a.head != b.head ? a.head < b.head : Before(a.index, b.index);
  });
  std::vector<uint32_t> positions;
  positions.reserve(items.size());
  for (const SortItem& item : items) positions.push_back(item.position);
  return positions;
}

NameIndex::NameIndex(const FolderNames& names) : names_(names) {
  size_t capacity = std::bit_ceil(std::max<size_t>(16, names.size() * 2));
  table_.assign(capacity, 0);
  mask_ = capacity - 1;
  for (uint32_t i = 0; i < names.size(); ++i) {
    size_t at = Hash(names.Name(i)) & mask_;
    while (table_[at] != 0) at = (at + 1) & mask_;
    table_[at] = i + 1;
  }
}

uint32_t NameIndex::Find(std::string_view name) const {
  for (size_t at = Hash(name) & mask_; table_[at] != 0; at = (at + 1) & mask_) {
    uint32_t i = table_[at] - 1;
    if (names_.Name(i) == name) return i;
  }
  return kNone;
}

size_t NameIndex::Hash(std::string_view name) { return std::hash<std::string_view>{}(name); }

}  // namespace cedev

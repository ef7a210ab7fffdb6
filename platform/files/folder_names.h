// The names of one folder listing, kept in two flat buffers so that a folder
// of any size costs a handful of allocations rather than several per entry.
// Each name carries its sort key: the folded name, one 16-bit unit after
// another with the high byte first, so comparing keys byte by byte orders
// them exactly as comparing the folded units would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cedev {

// Appends the key of an already folded name to `out`.
void AppendSortKey(std::u16string_view folded, std::string* out);

class FolderNames {
 public:
  void Reserve(size_t names, size_t name_bytes);
  // Adds a host name with its folded form; returns its index.
  uint32_t Add(std::string_view host_name, std::u16string_view folded);

  size_t size() const { return slots_.size(); }
  std::string_view Name(uint32_t i) const { return {names_.data() + slots_[i].name_at, slots_[i].name_size}; }
  // The same name, NUL-terminated for host calls.
  const char* CName(uint32_t i) const { return names_.data() + slots_[i].name_at; }
  std::string_view Key(uint32_t i) const { return {keys_.data() + slots_[i].key_at, slots_[i].key_size}; }

  // Takes back the name added last.
  void DropLast();

  // Positions in `indices` in listing order: by key, names with equal keys
  // (those differing only in case) by their host bytes.
  std::vector<uint32_t> Order(const std::vector<uint32_t>& indices) const;

 private:
  struct Slot {
    uint32_t name_at, name_size, key_at, key_size;
  };
  bool Before(uint32_t a, uint32_t b) const;
  // How many leading key bytes all of `indices` share.
  size_t SharedKeyBytes(const std::vector<uint32_t>& indices) const;

  std::string names_;  // each name followed by a NUL
  std::string keys_;
  std::vector<Slot> slots_;
};

// Finds a listed entry by its exact host name: an open-addressed table of
// entry indices, built once per listing, so looking up a folder's rows is
// one probe each with no copies of the names.
class NameIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;
  // `names` must outlive the index and not grow while it is used.
  explicit NameIndex(const FolderNames& names);
  uint32_t Find(std::string_view name) const;

 private:
  static size_t Hash(std::string_view name);
  const FolderNames& names_;
  std::vector<uint32_t> table_;  // entry index + 1; 0 is empty
  size_t mask_ = 0;
};

}  // namespace cedev

// What the registry and the databases take of the object store, for the
// free-space figures of "\" and for the store's capacity check.
//
// Counting sums every row, so a process keeps the figures it counted
// together with the change counter they belong to, and counts again only
// after a change it cannot account for (one made by another program, a
// subtree deleted, a bulk load). A registry write made through
// RegistryChange moves the figure by the bytes it added or freed, so a
// process writing the registry value by value never counts it again.
#pragma once

#include <cstdint>

// What a registry key and a registry value take of the object store, as SQL
// over their rows (RegistryStore::KeySize and ValueSize; SQLite's length()
// of text counts characters).
#define REG_KEY_SIZE_SQL "2 * length(name) + 2 * length(class)"
#define REG_VALUE_SIZE_SQL "2 * length(name) + length(data)"

namespace cedev {

// Bytes of names, class names and value data (UTF-16 names) of the registry.
uint64_t RegistryBytesUsed();
// Bytes of the databases' records in device layout, plus their descriptions.
uint64_t DatabaseBytesUsed();

// One registry change by this process, from before its first statement to
// after its commit was announced. While any is under way in the process, a
// count made meanwhile is used once but not kept, since the change may be
// committed and not yet reflected in the figure.
class RegistryChange {
 public:
  RegistryChange();
  ~RegistryChange();
  RegistryChange(const RegistryChange&) = delete;
  RegistryChange& operator=(const RegistryChange&) = delete;

  // After the commit: tells every program's snapshots, and moves this
  // process's figure by `size_change` bytes if nobody else changed the
  // registry since the figure was made.
  void Committed(int64_t size_change);
  // After a commit whose size is not known: the figure is counted again.
  void CommittedOfUnknownSize();
};

}  // namespace cedev

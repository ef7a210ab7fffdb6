// The metadata rows of the folders this process listed last. A program that
// lists a folder and then looks at each entry by path (as a backup does for
// every file it saves) finds each row here instead of querying for it.
//
// The cache answers only while the device's file-metadata counter stands
// where it stood before the rows were read. Every committed change to a row,
// by any program of the device and by this one, moves the counter (see
// SqlDb::NoteChange), so a cached answer is never older than the database.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device_folder.h"
#include "file_meta.h"

namespace cedev {

class MetaRowCache {
 public:
  using NamedRow = std::pair<std::string, FileMeta>;

  // Folders kept, and the most rows one folder may bring (a larger folder is
  // simply not kept: its listing already costs far more than its lookups).
  static constexpr size_t kFolders = 8;
  static constexpr size_t kMaxRows = 8192;

  // The counter value to pass to Keep, read before the rows are queried.
  static uint64_t Stamp();

  // Keeps every row of the folder `parent_key` of `device`, read after the
  // counter showed `stamp`.
  void Keep(const Device& device, std::string_view parent_key, uint64_t stamp, std::vector<NamedRow> rows);

  // True when the cache knows the row of `key` (the folder key and name of
  // a metadata key): then *row is that row, or empty when there is none.
  bool Find(const Device& device, std::string_view key, std::optional<FileMeta>* row);

  void Clear();

 private:
  struct Folder {
    uint64_t device = 0;  // Device::Instance()
    std::string parent_key;
    uint64_t stamp = 0;
    std::vector<NamedRow> rows;  // sorted by name
  };

  std::mutex mutex_;
  std::vector<Folder> folders_;  // oldest first
};

// The one cache of this process.
MetaRowCache& MetaRows();

}  // namespace cedev

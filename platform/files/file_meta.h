// What the host file system cannot hold about a device file (attributes,
// creation and last-access time) lives in one state.db table. An entry is
// named by its key, the host path relative to the device folder
// ("store/Windows/a.txt", "volumes/FlashDisk/b"), stored as folder key and
// name so that one folder's rows lie together for enumeration. Each row also remembers the size and last-write
// time the kernel last saw, so a file changed outside the emulator shows up
// as a mismatch and its host values win.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ce/file.h"
#include "ce/types.h"
#include "clock.h"
#include "host_files.h"
#include "sql.h"

namespace cedev {

// Times are FILETIME counts (100 ns units since 1601-01-01 UTC): see clock.h.

// Moves the last-write time the host gave an open file by the device clock's
// offset, so a device whose clock differs from the host's stamps its own
// time; `st` is taken again. Nothing to do while the clocks agree.
void StampDeviceTime(const host::Fd& fd, host::EntryStatus* st);

// Attributes a program may set; the others are the device's own.
constexpr DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
// What marks a storage volume or mounted folder in the root: directory and temporary.
constexpr DWORD kMountMarks = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;

struct FileMeta {
  DWORD attributes = 0;
  int64_t creation = 0;
  int64_t last_access = 0;
  int64_t size = 0;   // as last seen by the kernel
  int64_t mtime = 0;  // last-write time as last seen by the kernel
};

// What a program sees of a file or folder: the row where it is current,
// otherwise the host's own values.
struct EntryInfo {
  DWORD attributes = 0;
  int64_t creation = 0;
  int64_t last_access = 0;
  int64_t last_write = 0;
  uint64_t size = 0;
  DWORD oid = 0;
};

// What of a host status decides what a program sees; small enough to keep
// for every entry of a large listing.
struct HostFacts {
  int64_t size = 0;
  int64_t last_write = 0;  // FILETIME
  DWORD oid = 0;
  bool folder = false;
  bool writable = false;
};
HostFacts FactsOf(const host::EntryStatus& st);

// The one decision on how a host status and an optional row combine.
EntryInfo EffectiveInfo(const HostFacts& host, const FileMeta* row);
EntryInfo EffectiveInfo(const host::EntryStatus& st, const FileMeta* row);

// A row describing the host file as it is now, with the given attributes and times.
FileMeta RowFor(const host::EntryStatus& st, DWORD attributes, int64_t creation, int64_t last_access);

// The folder key and the entry name of a key ("store/a/b" -> "store/a", "b").
std::pair<std::string_view, std::string_view> SplitMetaKey(std::string_view key);

// Rows strictly below a key: parent equal to the key, or starting with
// "key/" (the range ["key/", "key0"), '0' following '/' in byte order).
struct SubtreeRange {
  std::string key, low, high;
};
SubtreeRange SubtreeOf(std::string_view key);

std::optional<FileMeta> LoadMeta(SqlDb& db, std::string_view key);
bool SaveMeta(SqlDb& db, std::string_view key, const FileMeta& meta);
// Removes the row of `key` and of everything below it.
bool DeleteMetaTree(SqlDb& db, std::string_view key);
// Re-keys the rows of `from` and everything below it to `to`.
bool MoveMetaTree(SqlDb& db, std::string_view from, std::string_view to);
// Hands every row of one folder, with its host name, to `take` in one query;
// the name is valid only during the call, so nothing is copied per row.
void ForEachFolderMeta(SqlDb& db, std::string_view parent_key,
                       const std::function<void(std::string_view name, const FileMeta& row)>& take);

}  // namespace cedev

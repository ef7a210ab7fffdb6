// Host-side access to the file service for the device's own tools (cedev,
// the sample image generator, resets). Programs use the file API instead.
//
// Metadata keys are host paths relative to the device folder with '/'
// separators: "store/Windows/a.txt", "volumes/FlashDisk/b", and for the
// factory image "factory/store/...". A row remembers the size and last-write
// time of the host file when it was written; if the host file no longer
// matches, the row's times give way to the host's (see file_meta.h). So a
// tool that copies files together with their rows should keep each file's
// mtime (or call RefreshMetaRows afterwards).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ce/types.h"
#include "device_folder.h"

namespace cedev {

struct HostLocation {
  std::filesystem::path host;  // the host file or folder (it may not exist yet)
  bool on_volume = false;      // false: the object store
  std::string volume;          // volume name when on_volume
  std::string meta_key;        // metadata key of the entry
  bool exists = false;
  bool is_dir = false;
};

// Resolves a device path the way the file API does (case-insensitive,
// confined, no symbolic links). False with *error set to the ERROR_* code.
bool ResolveToHost(Device& device, std::u16string_view device_path, HostLocation* out, DWORD* error);

struct FileMetaRecord {
  DWORD attributes = 0;  // FILE_ATTRIBUTE_*, INROM included
  FILETIME creation{};
  FILETIME last_access{};
};

// Writes the row of an existing entry given by device path, taking its
// current host size and last-write time. False when it does not exist.
bool SetFileMetaRecord(Device& device, std::u16string_view device_path, const FileMetaRecord& record);
// Reads the row of an entry; false when it has none.
bool GetFileMetaRecord(Device& device, std::u16string_view device_path, FileMetaRecord* record);

// The same by metadata key, for entries outside the device's namespace
// (the factory image). The host entry must exist for Set.
bool SetMetaRecordByKey(Device& device, std::string_view key, const FileMetaRecord& record);
bool GetMetaRecordByKey(Device& device, std::string_view key, FileMetaRecord* record);

// Replaces the rows at and below `to_key` with copies of those at and below
// `from_key` (full reset: "factory/store" to "store"), then refreshes their
// size and last-write fields from the host files now at the destination.
bool CopyMetaRows(Device& device, std::string_view from_key, std::string_view to_key);
// Removes the rows at and below `key`.
bool DeleteMetaRows(Device& device, std::string_view key);
// Re-reads size and last-write time of every row at and below `key` from
// the host; rows whose host entry is gone are removed.
bool RefreshMetaRows(Device& device, std::string_view key);

}  // namespace cedev

// Files and folders of the host, as the file service and the device's tools
// use them. Every call returns 0 or the host's error number (see
// Win32FromErrno), retries interrupted calls, opens nothing that outlives
// an exec, and never follows a symbolic link unless its name says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "host_fd.h"

namespace cedev::host {

// A host file or folder by identity, whatever path reached it.
struct EntryId {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const EntryId& other) const = default;
};

enum class EntryKind { kFile, kFolder, kLink, kOther };

// What the kernel needs of a host entry's status.
struct EntryStatus {
  EntryKind kind = EntryKind::kOther;
  uint64_t size = 0;
  int64_t last_write = 0;       // FILETIME count
  int64_t last_access = 0;      // FILETIME count
  EntryId id;
  bool owner_writable = false;  // the owner's write permission bit
  bool IsFile() const { return kind == EntryKind::kFile; }
  bool IsFolder() const { return kind == EntryKind::kFolder; }
};

// Status of the entry itself (a link is reported as a link).
int StatusOf(const std::string& path, EntryStatus* out);
// Status of what the path leads to, links followed.
int StatusFollowing(const std::string& path, EntryStatus* out);
int StatusOf(const Fd& fd, EntryStatus* out);
// Status of the entry `name` of the open folder `folder` (links not followed).
int StatusAt(const Fd& folder, const char* name, EntryStatus* out);

struct OpenHow {
  bool write = false;         // read and write, else read only
  bool create = false;        // create the file when missing
  bool exclusive = false;     // with create: fail with EEXIST when it exists
  bool folder = false;        // the entry must be a folder
  bool keep_access_time = false;  // ask the host not to move its access time
};
// Opens `path` (never through a link at its last component).
int Open(const std::string& path, const OpenHow& how, Fd* out);
// Opens or creates a small file of the device's own (lock files, maps).
int OpenOrCreate(const std::string& path, Fd* out);

// One read or write at an offset; *done is what the host took or gave
// (0 at the end of the file).
int ReadAt(const Fd& fd, void* buffer, size_t count, uint64_t offset, size_t* done);
int WriteAt(const Fd& fd, const void* buffer, size_t count, uint64_t offset, size_t* done);
int Truncate(const Fd& fd, uint64_t size);
// Sets the last-write time of an open file, leaving its access time alone.
int SetLastWrite(const Fd& fd, int64_t filetime);
// Sets both times of the entry `path` names (a link itself, not its target).
int SetTimesOf(const std::string& path, int64_t last_access, int64_t last_write);
// Gives the entry `to` the access and last-write times of `from`, to the
// host's full precision (links themselves, not their targets).
int CopyTimes(const std::string& from, const std::string& to);

int Rename(const std::string& from, const std::string& to);
int RemoveFile(const std::string& path);
int MakeFolder(const std::string& path);
int RemoveFolder(const std::string& path);

// Hands every name of a folder but "." and ".." to `take`; the name is
// valid only during the call.
int ListFolder(const Fd& folder, const std::function<void(const char* name)>& take);
int ListFolder(const std::string& path, const std::function<void(const char* name)>& take);

// Bytes of the regular files at and below `path` (links not followed).
uint64_t FileBytesUnder(const std::string& path);

// Size and free bytes of the host file system holding `path`.
int FileSystemSpace(const std::string& path, uint64_t* total, uint64_t* free);

// Whether the host may run `path` as a program.
bool IsExecutable(const std::string& path);

}  // namespace cedev::host

// Device paths ("\My Documents\a.txt", "FlashDisk/Backup") taken apart,
// checked and mapped onto the host folders of the device. This is the one
// place that decides what a device path may contain and where it lands:
// every path stays inside store/ or a volume folder, and no host symbolic
// link is ever followed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ce/types.h"
#include "device_folder.h"
#include "host_files.h"

namespace cedev {

// Longest device path, in UTF-16 units, not counting the terminator.
constexpr size_t kMaxDevicePath = MAX_PATH - 1;

// Splits and checks a device path. The last component may hold `*` and `?`
// only when allow_pattern is set (FindFirstFileW). Returns 0 or
// ERROR_INVALID_NAME. The root itself gives no components.
DWORD SplitDevicePath(std::u16string_view path, bool allow_pattern, std::vector<std::u16string>* parts);

// True when the name can be shown as a device name (enumeration skips host
// entries a device path could never reach).
bool IsValidDeviceName(std::u16string_view name);

enum class RootKind { kStore, kVolume };

// Where a device path lives on the host.
struct HostPath {
  RootKind kind = RootKind::kStore;
  std::string volume;          // volume name as the settings spell it
  std::string root;            // host folder of the store or the volume
  std::string key;             // metadata key: the host path relative to the device folder
  std::string parent_key;      // key of the containing folder ("" for "\")
  std::string host;            // full host path
  std::u16string device;       // canonical device path, "\" separated, as given
  std::u16string name;         // last component, actual host case when it exists
  size_t depth = 0;            // components below "\"
  bool exists = false;
  bool mounted = false;        // a root folder of the store listed as mounted storage
  host::EntryStatus st;         // host status when exists

  bool IsDeviceRoot() const { return depth == 0; }
  bool IsVolumeRoot() const { return kind == RootKind::kVolume && depth == 1; }
  bool IsDir() const { return exists && st.IsFolder(); }
  // Folder-like roots that can never be removed, moved or opened as files.
  bool IsFixedFolder() const { return IsDeviceRoot() || IsVolumeRoot(); }
  // Identifies the space the file counts against: "store" or "volumes/NAME".
  std::string SpaceKey() const { return kind == RootKind::kStore ? "store" : "volumes/" + volume; }
};

// Resolves a device path. Names match without regard to case: the exact-case
// host name is tried first, the folder is scanned only when that misses.
// Returns 0 when every folder on the way exists (the last component may be
// missing: see exists), ERROR_PATH_NOT_FOUND when a folder is missing or is a
// file, ERROR_INVALID_NAME for a bad path or a host symbolic link on the way.
DWORD ResolveDevicePath(Device& device, std::u16string_view path, HostPath* out);

// Forgets which host folders were found to be real folders a moment ago
// (after this process removed or moved one).
void ForgetVerifiedFolders();

// This process created, removed or renamed the entry `where` names: keeps
// what is known about its folder's names valid (a large folder is not
// scanned again for every file made in it).
void NoteOwnChangeIn(const HostPath& where);

// Same, from components already split.
DWORD ResolveDeviceParts(Device& device, const std::vector<std::u16string>& parts, HostPath* out);

// The host entry of `dir` whose name equals `name` without regard to case,
// exact case first. Empty when there is none.
std::string FindHostName(const std::string& dir, std::u16string_view name);

// How many case-insensitive folder scans this process has made: opening a
// path of exact case must not add to it.
uint64_t FolderScanCount();

}  // namespace cedev

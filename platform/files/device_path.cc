#include "device_path.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ce/errors.h"
#include "host_time.h"
#include "pending_writes.h"
#include "wstr.h"

namespace cedev {
namespace {

std::atomic<uint64_t> g_scans{0};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

DWORD CheckComponent(std::u16string_view part, bool pattern_allowed) {
  return text::IsNameComponent(part, pattern_allowed) ? 0 : ERROR_INVALID_NAME;
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Status of a host entry without following a symbolic link: 0 or the host's
// error number.
int LStat(const std::string& path, host::EntryStatus* st) { return host::StatusOf(path, st); }

struct Root {
  RootKind kind = RootKind::kStore;
  std::string volume;
  std::string host;
  std::string key;
  size_t first_part = 0;  // index of the first component below the root
};

Root ChooseRoot(Device& device, const DeviceSettings& settings, const std::vector<std::u16string>& parts) {
  Root root;
  if (!parts.empty()) {
    for (const auto& v : settings.volumes) {
      // Most first names are not a volume's; one of another length cannot be.
      if (IsAscii(v.name) && v.name.size() != parts[0].size()) continue;
      if (EqualNoCase(parts[0], FromUtf8(v.name))) {
        root.kind = RootKind::kVolume;
        root.volume = v.name;
        root.host = device.VolumeDir(v.name).string();
        root.key = "volumes/" + v.name;
        root.first_part = 1;
        return root;
      }
    }
  }
  root.host = device.StoreHost();
  root.key = "store";
  return root;
}

bool IsMountedFolder(const DeviceSettings& settings, std::u16string_view name) {
  for (const auto& m : settings.mounted_folders) {
    if (EqualNoCase(name, FromUtf8(m))) return true;
  }
  return false;
}

std::u16string CanonicalDevicePath(const std::vector<std::u16string>& parts) {
  if (parts.empty()) return u"\\";
  std::u16string out;
  for (const auto& p : parts) out += u"\\" + p;
  return out;
}

}  // namespace

DWORD SplitDevicePath(std::u16string_view path, bool allow_pattern, std::vector<std::u16string>* parts) {
  parts->clear();
  if (path.size() > kMaxDevicePath) return ERROR_INVALID_NAME;
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  size_t start = IsSeparator(path[0]) ? 1 : 0;
  // One trailing separator names the same folder ("\Windows\").
  size_t end = path.size();
  if (end > start && IsSeparator(path[end - 1])) --end;
  if (start >= end) return 0;
  std::u16string_view rest = path.substr(start, end - start);
  while (true) {
    size_t sep = 0;
    while (sep < rest.size() && !IsSeparator(rest[sep])) ++sep;
    std::u16string_view part = rest.substr(0, sep);
    bool last = sep == rest.size();
    if (DWORD err = CheckComponent(part, allow_pattern && last)) return err;
    parts->emplace_back(part);
    if (last) break;
    rest.remove_prefix(sep + 1);
  }
  return 0;
}

bool IsValidDeviceName(std::u16string_view name) { return text::IsPlainEntryName(name); }

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Compares a host name with a device name without regard to case. Plain
// ASCII on both sides, the usual case, needs no conversion.
class NameMatcher {
 public:
  explicit NameMatcher(std::u16string_view name) : name_(name), utf8_(ToUtf8(name)), ascii_(IsAscii(utf8_)) {}
  bool Matches(std::string_view host_name) const {
    if (ascii_ && IsAscii(host_name)) return AsciiEqualNoCase(utf8_, host_name);
    return EqualNoCase(FromUtf8(host_name), name_);
  }

 private:
  std::u16string_view name_;
  std::string utf8_;
  bool ascii_;
};

// Folders with at least this many entries keep their case-folded names in
// memory, so filling a large folder does not rescan it for every new name.
constexpr size_t kCachedFolderSize = 16;
constexpr size_t kCachedFolders = 8;

// The case-folded names of one large folder as of its last-change time.
// Positive entries may outlive their file (callers check the name they get
// with lstat); a name this process is about to create is added at once, so
// a new name made within the same clock tick is not missed.
struct FolderNames {
  std::string dir;
  int64_t mtime = 0;
  std::unordered_map<std::u16string, std::string> by_folded;
};

class FolderNameCache {
 public:
  // The host name stored for `name`; nullopt when the cache cannot answer.
  std::optional<std::string> Lookup(const std::string& dir, int64_t mtime, std::u16string_view name) {
    std::lock_guard lock(mutex_);
    for (auto& f : folders_) {
      if (f.dir != dir) continue;
      if (f.mtime != mtime) return std::nullopt;
      auto it = f.by_folded.find(Fold(name));
      return it == f.by_folded.end() ? std::string() : it->second;
    }
    return std::nullopt;
  }

  void Store(FolderNames names) {
    std::lock_guard lock(mutex_);
    for (auto& f : folders_) {
      if (f.dir == names.dir) {
        f = std::move(names);
        return;
      }
    }
    if (folders_.size() >= kCachedFolders) folders_.erase(folders_.begin());
    folders_.push_back(std::move(names));
  }

  // This process changed `dir`: the names it holds are still right (the new
  // name was noted when its path was resolved, a removed one is checked by
  // the caller's lstat), so only the folder's new time is taken.
  void Refresh(const std::string& dir) {
    std::lock_guard lock(mutex_);
    for (auto& f : folders_) {
      if (f.dir != dir) continue;
      host::EntryStatus st;
      if (host::StatusFollowing(dir, &st) == 0) f.mtime = st.last_write;
    }
  }

  void NoteName(const std::string& dir, std::u16string_view name, const std::string& host_name) {
    std::lock_guard lock(mutex_);
    for (auto& f : folders_)
      if (f.dir == dir) f.by_folded.emplace(Fold(name), host_name);
  }

 private:
  std::mutex mutex_;
  std::vector<FolderNames> folders_;
};

FolderNameCache& NameCache() {
  static auto* cache = new FolderNameCache;
  return *cache;
}

// Scans `dir` for a name equal to `name` without regard to case. Of several
// host names that differ only in case the smallest wins, so the choice does
// not depend on the host's folder order.
std::string ScanForName(const std::string& dir, std::u16string_view name,
                        const host::EntryStatus* known_dir_st = nullptr) {
  g_scans.fetch_add(1, std::memory_order_relaxed);
  host::EntryStatus dir_st;
  bool have_mtime = true;
  if (known_dir_st)
    dir_st = *known_dir_st;
  else
    have_mtime = host::StatusFollowing(dir, &dir_st) == 0;
  if (have_mtime) {
    if (auto cached = NameCache().Lookup(dir, dir_st.last_write, name)) return *cached;
  }
  NameMatcher matcher(name);
  std::string best;
  std::vector<std::string> all;
  int rc = host::ListFolder(dir, [&](const char* entry) {
    std::string_view host_name(entry);
    all.emplace_back(host_name);
    if (matcher.Matches(host_name) && (best.empty() || host_name < best)) best = host_name;
  });
  if (rc != 0) return {};
  if (have_mtime && all.size() >= kCachedFolderSize) {
    FolderNames names{dir, dir_st.last_write, {}};
    for (auto& host_name : all) {
      auto [it, added] = names.by_folded.emplace(Fold(FromUtf8(host_name)), host_name);
      if (!added && host_name < it->second) it->second = host_name;
    }
    NameCache().Store(std::move(names));
  }
  return best;
}

// Host folders this process found to be real folders (no links on the way
// from the device root) within the last second. A path below one of them
// costs a single lstat of its last component instead of one per component.
// A folder removed since only makes that lstat miss, and the full walk runs.
class VerifiedFolders {
 public:
  bool Contains(const std::string& dir) {
    std::lock_guard lock(mutex_);
    auto it = seen_.find(dir);
    return it != seen_.end() && NowNs() - it->second < kLifetimeNs;
  }
  void Add(const std::string& dir) {
    std::lock_guard lock(mutex_);
    if (seen_.size() >= kMaxFolders) seen_.clear();
    seen_[dir] = NowNs();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    seen_.clear();
  }

 private:
  static constexpr int64_t kLifetimeNs = 1000000000;
  static constexpr size_t kMaxFolders = 4096;
  static int64_t NowNs() { return host::CoarseMonotonicNs(); }
  std::mutex mutex_;
  std::unordered_map<std::string, int64_t> seen_;
};

VerifiedFolders& Verified() {
  static auto* folders = new VerifiedFolders;
  return *folders;
}

}  // namespace

void ForgetVerifiedFolders() { Verified().Clear(); }

void NoteOwnChangeIn(const HostPath& where) {
  size_t cut = where.host.rfind('/');
  if (cut != std::string::npos) NameCache().Refresh(where.host.substr(0, cut));
}

namespace {

// The whole path in one lstat when its folder was verified a moment ago and
// every name has its exact host case (a name not there yet costs a look at
// the folder besides); false leaves the walk to the caller.
bool ResolveBelowVerifiedFolder(const std::string& root_host, const std::string& root_key, size_t first_part,
                                const std::vector<std::u16string>& parts, HostPath* out) {
  std::string folder_rel;
  for (size_t i = first_part; i + 1 < parts.size(); ++i) folder_rel += "/" + ToUtf8(parts[i]);
  std::string folder = root_host + folder_rel;
  if (!Verified().Contains(folder)) return false;
  std::string name = ToUtf8(parts.back());
  host::EntryStatus st;
  int rc = LStat(folder + "/" + name, &st);
  bool found = rc == 0;
  if (!found) {
    // A new name: the folder must still be a folder, and hold no name that
    // differs only in case (the walk then takes the host's spelling).
    host::EntryStatus dir_st;
    if (rc != ENOENT || LStat(folder, &dir_st) != 0 || !dir_st.IsFolder()) return false;
    std::string other = ScanForName(folder, parts.back(), &dir_st);
    if (!other.empty() && other != name) return false;  // the same spelling is a name noted before, not there now
    NameCache().NoteName(folder, parts.back(), name);
    st = {};
  } else if (st.kind == host::EntryKind::kLink) {
    return false;
  }
  out->parent_key = root_key + folder_rel;
  out->key = out->parent_key + "/" + name;
  out->host = folder + "/" + name;
  out->name = parts.back();
  out->st = st;
  out->exists = found;
  return true;
}

// Component by component from the root: an lstat each, a folder scan for a
// name whose case differs from the host's.
DWORD WalkFromRoot(const Root& root, const std::vector<std::u16string>& parts, HostPath* out) {
  if (root.kind == RootKind::kVolume) {
    std::error_code ec;
    std::filesystem::create_directories(root.host, ec);  // a configured volume is always mounted
  }
  if (LStat(root.host, &out->st) != 0) return ERROR_PATH_NOT_FOUND;
  if (out->st.IsFolder()) Verified().Add(root.host);
  out->exists = true;
  for (size_t i = root.first_part; i < parts.size(); ++i) {
    bool last = i + 1 == parts.size();
    // The exact-case name costs one lstat; only a miss scans the folder.
    std::string host_name = ToUtf8(parts[i]);
    int rc = LStat(out->host + "/" + host_name, &out->st);
    bool found = rc == 0;
    if (!found && rc == ENOENT) {
      std::string other = ScanForName(out->host, parts[i]);
      // A remembered name may be gone by now; then the new name keeps its case.
      if (!other.empty() && LStat(out->host + "/" + other, &out->st) == 0) {
        host_name = other;
        found = true;
      }
    }
    out->parent_key = out->key;
    out->key += "/" + host_name;
    out->host += "/" + host_name;
    out->name = found ? FromUtf8(host_name) : parts[i];
    if (!found) {
      if (!last) return ERROR_PATH_NOT_FOUND;
      NameCache().NoteName(out->host.substr(0, out->host.size() - host_name.size() - 1), parts[i], host_name);
      out->exists = false;
      out->st = {};
      break;
    }
    if (out->st.kind == host::EntryKind::kLink) return ERROR_INVALID_NAME;
    if (!last && !out->st.IsFolder()) return ERROR_PATH_NOT_FOUND;
    if (out->st.IsFolder()) Verified().Add(out->host);
  }
  return 0;
}

}  // namespace

std::string FindHostName(const std::string& dir, std::u16string_view name) {
  std::string exact = ToUtf8(name);
  host::EntryStatus st;
  if (LStat(dir + "/" + exact, &st) == 0) return exact;
  return ScanForName(dir, name);
}

uint64_t FolderScanCount() { return g_scans.load(std::memory_order_relaxed); }

DWORD ResolveDevicePath(Device& device, std::u16string_view path, HostPath* out) {
  std::vector<std::u16string> parts;
  if (DWORD err = SplitDevicePath(path, false, &parts)) return err;
  return ResolveDeviceParts(device, parts, out);
}

DWORD ResolveDeviceParts(Device& device, const std::vector<std::u16string>& parts, HostPath* out) {
  std::shared_ptr<const DeviceSettings> snapshot = device.SettingsSnapshot();
  const DeviceSettings& settings = *snapshot;
  Root root = ChooseRoot(device, settings, parts);
  *out = HostPath{};
  out->kind = root.kind;
  out->volume = root.volume;
  out->root = root.host;
  out->device = CanonicalDevicePath(parts);
  out->depth = parts.size();
  out->host = root.host;
  out->key = root.key;
  out->parent_key = root.first_part == 1 ? "store" : "";
  out->name = root.first_part == 1 ? FromUtf8(root.volume) : u"";
  bool resolved = parts.size() > root.first_part &&
                  ResolveBelowVerifiedFolder(root.host, root.key, root.first_part, parts, out);
  if (!resolved) {
    if (DWORD err = WalkFromRoot(root, parts, out)) return err;
  }
  out->mounted = root.kind == RootKind::kStore && parts.size() == 1 && out->exists && out->st.IsFolder() &&
                 IsMountedFolder(settings, parts[0]);
  // Whatever the caller does with the entry (or the folder's listing), it
  // sees every byte written to it so far.
  if (out->exists && DrainPendingWritersFor(out->st.id) && LStat(out->host, &out->st) != 0) {
    return ERROR_PATH_NOT_FOUND;
  }
  return 0;
}

}  // namespace cedev

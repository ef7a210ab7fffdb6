#include "find.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ce/file.h"
#include "handles.h"
#include "last_error.h"
#include "wstr.h"

namespace cedev {
namespace {

constexpr DWORD kMountMarks = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;

bool GlobFolded(std::u16string_view p, std::u16string_view n) {
  // Iterative glob with one backtrack point, linear in practice.
  size_t pi = 0, ni = 0, star = std::u16string_view::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == u'*') {
      star = pi++;
      mark = ni;
    } else if (star != std::u16string_view::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

bool IsPattern(std::u16string_view name) { return name.find_first_of(u"*?") != std::u16string_view::npos; }

struct Candidate {
  std::u16string folded;
  FoundEntry entry;
};

class FindObject : public KObject {
 public:
  explicit FindObject(std::vector<FoundEntry> entries) : entries_(std::move(entries)) {}
  // False at the end.
  bool Next(WIN32_FIND_DATAW* out) {
    std::lock_guard lock(mutex_);
    if (next_ >= entries_.size()) return false;
    Fill(entries_[next_++], out);
    return true;
  }
  static void Fill(const FoundEntry& e, WIN32_FIND_DATAW* out) {
    out->dwFileAttributes = e.info.attributes;
    out->ftCreationTime = ToFileTime(e.info.creation);
    out->ftLastAccessTime = ToFileTime(e.info.last_access);
    out->ftLastWriteTime = ToFileTime(e.info.last_write);
    out->nFileSizeHigh = static_cast<DWORD>(e.info.size >> 32);
    out->nFileSizeLow = static_cast<DWORD>(e.info.size);
    out->dwOID = e.info.oid;
    size_t n = std::min<size_t>(e.name.size(), MAX_PATH - 1);
    std::memcpy(out->cFileName, e.name.data(), n * sizeof(WCHAR));
    std::fill(out->cFileName + n, out->cFileName + MAX_PATH, u'\0');
  }

 private:
  std::mutex mutex_;
  std::vector<FoundEntry> entries_;
  size_t next_ = 0;
};

void AddVolumes(Device& device, std::u16string_view folded_pattern, std::vector<Candidate>* out) {
  for (const auto& v : device.Settings().volumes) {
    std::u16string name = FromUtf8(v.name);
    std::u16string folded = Fold(name);
    if (!MatchesPattern(folded_pattern, folded)) continue;
    struct stat st;
    if (::lstat(device.VolumeDir(v.name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    Candidate c{folded, {name, EffectiveInfo(st, nullptr)}};
    c.entry.info.attributes |= kMountMarks;
    out->push_back(std::move(c));
  }
}

bool IsVolumeName(const DeviceSettings& settings, std::u16string_view folded) {
  for (const auto& v : settings.volumes) {
    if (Fold(FromUtf8(v.name)) == folded) return true;
  }
  return false;
}

bool IsMountedName(const DeviceSettings& settings, std::u16string_view folded) {
  for (const auto& m : settings.mounted_folders) {
    if (Fold(FromUtf8(m)) == folded) return true;
  }
  return false;
}

HANDLE FindOne(Device& device, const std::vector<std::u16string>& parts, WIN32_FIND_DATAW* data) {
  HostPath where;
  if (DWORD err = ResolveDeviceParts(device, parts, &where)) return Fail(err, INVALID_HANDLE_VALUE);
  if (!where.exists || where.IsDeviceRoot()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  std::optional<FileMeta> row = LoadMeta(device.Db(), where.key);
  FoundEntry entry{where.name, EffectiveInfo(where.st, row ? &*row : nullptr)};
  if (where.IsVolumeRoot() || where.mounted) entry.info.attributes |= kMountMarks;
  FindObject::Fill(entry, data);
  return AllocHandle(std::make_shared<FindObject>(std::vector<FoundEntry>{}));
}

}  // namespace

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name) {
  std::u16string p = Fold(pattern), n = Fold(name);
  if (GlobFolded(p, n)) return true;
  return p.size() >= 2 && p.compare(p.size() - 2, 2, u".*") == 0 && n.find(u'.') == std::u16string::npos &&
         GlobFolded(std::u16string_view(p).substr(0, p.size() - 2), n);
}

std::vector<FoundEntry> ListFolder(Device& device, const HostPath& folder, std::u16string_view pattern) {
  std::vector<Candidate> found;
  std::u16string folded_pattern = Fold(pattern);
  bool match_all = folded_pattern == u"*" || folded_pattern == u"*.*";
  bool device_root = folder.IsDeviceRoot();
  DeviceSettings settings = device.Settings();
  std::unordered_map<std::string, FileMeta> rows = LoadFolderMeta(device.Db(), folder.key);
  int dir_fd = ::open(folder.host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  DIR* dir = dir_fd >= 0 ? ::fdopendir(dir_fd) : nullptr;
  if (!dir && dir_fd >= 0) ::close(dir_fd);
  while (dir) {
    dirent* e = ::readdir(dir);
    if (!e) break;
    std::string_view host_name(e->d_name);
    if (host_name == "." || host_name == "..") continue;
    std::u16string name = FromUtf8(host_name);
    if (!IsValidDeviceName(name)) continue;  // no device path could reach it
    std::u16string folded = Fold(name);
    if (!match_all && !MatchesPattern(folded_pattern, folded)) continue;
    if (device_root && IsVolumeName(settings, folded)) continue;  // the volume stands in its place
    struct stat st;
    if (::fstatat(dir_fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;  // links and devices are not part of the device
    auto row = rows.find(std::string(host_name));
    Candidate c{std::move(folded), {std::move(name), EffectiveInfo(st, row == rows.end() ? nullptr : &row->second)}};
    if (device_root && S_ISDIR(st.st_mode) && IsMountedName(settings, c.folded)) c.entry.info.attributes |= kMountMarks;
    found.push_back(std::move(c));
  }
  if (dir) ::closedir(dir);
  if (device_root) AddVolumes(device, folded_pattern, &found);
  std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.entry.name < b.entry.name;
  });
  std::vector<FoundEntry> entries;
  entries.reserve(found.size());
  for (auto& c : found) entries.push_back(std::move(c.entry));
  return entries;
}

}  // namespace cedev

using cedev::Fail;

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  if (!lpFileName || !lpFindFileData) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  cedev::Device* device = cedev::Device::Current();
  if (!device) return INVALID_HANDLE_VALUE;
  std::vector<std::u16string> parts;
  if (DWORD err = cedev::SplitDevicePath(cedev::WView(lpFileName), true, &parts)) return Fail(err, INVALID_HANDLE_VALUE);
  if (parts.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (!cedev::IsPattern(parts.back())) return cedev::FindOne(*device, parts, lpFindFileData);
  std::u16string pattern = parts.back();
  parts.pop_back();
  cedev::HostPath folder;
  if (DWORD err = cedev::ResolveDeviceParts(*device, parts, &folder)) return Fail(err, INVALID_HANDLE_VALUE);
  if (!folder.IsDir()) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  std::vector<cedev::FoundEntry> entries = cedev::ListFolder(*device, folder, pattern);
  if (entries.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  auto find = std::make_shared<cedev::FindObject>(std::move(entries));
  find->Next(lpFindFileData);
  SetLastError(NO_ERROR);
  return cedev::AllocHandle(std::move(find));
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  auto find = cedev::LookupHandleAs<cedev::FindObject>(hFindFile);
  if (!find) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!lpFindFileData) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!find->Next(lpFindFileData)) return Fail(ERROR_NO_MORE_FILES, FALSE);
  return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
  if (!cedev::LookupHandleAs<cedev::FindObject>(hFindFile)) return Fail(ERROR_INVALID_HANDLE, FALSE);
  cedev::ReleaseHandle(hFindFile);
  return TRUE;
}

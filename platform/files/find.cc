#include "find.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "ce/file.h"
#include "folder_names.h"
#include "handles.h"
#include "host_files.h"
#include "last_error.h"
#include "meta_cache.h"
#include "wstr.h"

namespace cedev {
namespace {

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The folded form of a host name into `folded` (reused from call to call),
// or false when no device path could name it. Plain ASCII names, the usual
// case, are checked and folded in one pass.
bool FoldHostName(std::string_view host, std::u16string* folded) {
  if (!IsAscii(host)) {
    std::u16string name = FromUtf8(host);
    if (!IsValidDeviceName(name)) return false;
    *folded = Fold(name);
    return true;
  }
  if (host.size() > kMaxDevicePath || host == "." || host == "..") return false;
  folded->resize(host.size());
  for (size_t i = 0; i < host.size(); ++i) {
    char c = host[i];
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"|*?\\", c)) return false;
    (*folded)[i] = FoldCase(static_cast<char16_t>(c));
  }
  return true;
}

bool IsPattern(std::u16string_view name) { return name.find_first_of(u"*?") != std::u16string_view::npos; }

// The host's status of one listed name, without following links. Links
// and devices are not part of the device, so they are not `listed`.
struct HostStatus {
  HostFacts facts;
  bool listed = false;
};

// One host folder: its names, and the status of each.
class HostFolder {
 public:
  explicit HostFolder(const std::string& path) {
    host::OpenHow how;
    how.folder = true;
    host::Open(path, how, &fd_);
  }

  template <class F>
  void ForEachName(F&& take) {
    if (!fd_.Valid()) return;
    host::ListFolder(fd_, [&](const char* name) { take(std::string_view(name)); });
  }

  // Looking up each entry is most of a large listing's cost, so big folders
  // share it out over the host's cores. `meanwhile` runs on the calling
  // thread (which owns the database connection) while the helpers look up
  // theirs, before it looks up its own share.
  template <class F>
  std::vector<HostStatus> StatAll(const FolderNames& names, F&& meanwhile) {
    constexpr size_t kPerThread = 8192;
    std::vector<HostStatus> status(names.size());
    size_t workers = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 4);
    workers = std::min(workers, names.size() / kPerThread + 1);
    size_t chunk = (names.size() + workers - 1) / std::max<size_t>(workers, 1);
    std::vector<std::thread> helpers;
    for (size_t w = 1; w < workers; ++w) {
      helpers.emplace_back([&, w] { StatRange(names, w * chunk, (w + 1) * chunk, &status); });
    }
    meanwhile();
    StatRange(names, 0, chunk, &status);
    for (auto& t : helpers) t.join();
    return status;
  }

 private:
  void StatRange(const FolderNames& names, size_t begin, size_t end, std::vector<HostStatus>* status) const {
    end = std::min(end, names.size());
    for (size_t i = begin; i < end; ++i) {
      host::EntryStatus st;
      if (!fd_.Valid() || host::StatusAt(fd_, names.CName(static_cast<uint32_t>(i)), &st) != 0) continue;
      if (!st.IsFile() && !st.IsFolder()) continue;
      (*status)[i] = HostStatus{FactsOf(st), true};
    }
  }

  host::Fd fd_;
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
    size_t n = 0;
    if (IsAscii(e.name)) {
      for (; n < e.name.size() && n < MAX_PATH - 1; ++n) out->cFileName[n] = static_cast<WCHAR>(e.name[n]);
    } else {
      std::u16string wide = FromUtf8(e.name);
      n = std::min<size_t>(wide.size(), MAX_PATH - 1);
      std::memcpy(out->cFileName, wide.data(), n * sizeof(WCHAR));
    }
    std::fill(out->cFileName + n, out->cFileName + MAX_PATH, u'\0');
  }

 private:
  std::mutex mutex_;
  std::vector<FoundEntry> entries_;
  size_t next_ = 0;
};

// The device root's volumes and mounted folders, by sort key.
class RootNames {
 public:
  explicit RootNames(const DeviceSettings& settings) {
    for (const auto& v : settings.volumes) volumes_.push_back(KeyOf(v.name));
    for (const auto& m : settings.mounted_folders) mounted_.push_back(KeyOf(m));
  }
  bool IsVolume(std::string_view key) const { return Holds(volumes_, key); }
  bool IsMounted(std::string_view key) const { return Holds(mounted_, key); }

 private:
  static std::string KeyOf(const std::string& host_name) {
    std::string key;
    AppendSortKey(Fold(FromUtf8(host_name)), &key);
    return key;
  }
  static bool Holds(const std::vector<std::string>& keys, std::string_view key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
  }
  std::vector<std::string> volumes_, mounted_;
};

// Adds the storage volumes matching the pattern to the end of `names` and
// `order`, with what each shows in `infos`.
void AddVolumes(Device& device, std::u16string_view folded_pattern, FolderNames* names,
                std::vector<uint32_t>* order, std::vector<EntryInfo>* infos) {
  for (const auto& v : device.Settings().volumes) {
    std::u16string folded = Fold(FromUtf8(v.name));
    if (!text::MatchesFoldedPattern(folded_pattern, folded)) continue;
    host::EntryStatus st;
    if (host::StatusOf(device.VolumeDir(v.name).string(), &st) != 0 || !st.IsFolder()) continue;
    order->push_back(names->Add(v.name, folded));
    infos->push_back(EffectiveInfo(st, nullptr));
    infos->back().attributes |= kMountMarks;
  }
}

HANDLE FindOne(Device& device, const std::vector<std::u16string>& parts, WIN32_FIND_DATAW* data) {
  HostPath where;
  if (DWORD err = ResolveDeviceParts(device, parts, &where)) return Fail(err, INVALID_HANDLE_VALUE);
  if (!where.exists || where.IsDeviceRoot()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  FoundEntry entry{ToUtf8(where.name), DescribeEntry(device, where)};
  FindObject::Fill(entry, data);
  return AllocHandle(std::make_shared<FindObject>(std::vector<FoundEntry>{}));
}

}  // namespace

EntryInfo DescribeEntry(Device& device, const HostPath& where) {
  std::optional<FileMeta> row;
  SqlDb& db = device.Db();
  // Inside a transaction this thread may have changed rows the others
  // cannot see yet: only its own connection knows them.
  if (db.InTransaction() || !MetaRows().Find(device, where.key, &row)) row = LoadMeta(db, where.key);
  EntryInfo info = EffectiveInfo(where.st, row ? &*row : nullptr);
  if (where.IsVolumeRoot() || where.mounted) info.attributes |= kMountMarks;
  return info;
}

std::vector<FoundEntry> ListFolder(Device& device, const HostPath& folder, std::u16string_view pattern) {
  std::u16string folded_pattern = Fold(pattern);
  bool match_all = folded_pattern == u"*" || folded_pattern == u"*.*";
  bool device_root = folder.IsDeviceRoot();
  RootNames root(device.Settings());

  HostFolder host(folder.host);
  FolderNames names;
  std::u16string folded;
  host.ForEachName([&](std::string_view host_name) {
    if (!FoldHostName(host_name, &folded)) return;  // ".", "..", and names no device path could reach
    if (!match_all && !text::MatchesFoldedPattern(folded_pattern, folded)) return;
    uint32_t i = names.Add(host_name, folded);
    if (device_root && root.IsVolume(names.Key(i))) names.DropLast();  // the volume stands in its place
  });
  std::vector<std::optional<FileMeta>> rows(names.size());
  std::vector<HostStatus> status = host.StatAll(names, [&] {
    NameIndex index(names);
    SqlDb& db = device.Db();
    // Rows read inside an open transaction may yet be rolled back.
    bool keep = !db.InTransaction() && names.size() <= MetaRowCache::kMaxRows;
    uint64_t stamp = MetaRowCache::Stamp();
    std::vector<MetaRowCache::NamedRow> kept;
    ForEachFolderMeta(db, folder.key, [&](std::string_view name, const FileMeta& row) {
      uint32_t i = index.Find(name);
      if (i != NameIndex::kNone) rows[i] = row;
      if (!keep) return;
      keep = kept.size() < MetaRowCache::kMaxRows;  // only a folder's whole set of rows can tell a row is missing
      if (keep) kept.emplace_back(name, row);
    });
    if (keep) MetaRows().Keep(device, folder.key, stamp, std::move(kept));
  });

  std::vector<uint32_t> order;
  order.reserve(names.size());
  for (uint32_t i = 0; i < status.size(); ++i) {
    if (status[i].listed) order.push_back(i);
  }
  size_t host_names = names.size();
  std::vector<EntryInfo> volumes;
  if (device_root) AddVolumes(device, folded_pattern, &names, &order, &volumes);

  std::vector<FoundEntry> entries;
  entries.reserve(order.size());
  for (uint32_t p : names.Order(order)) {
    uint32_t i = order[p];
    if (i >= host_names) {
      entries.push_back({std::string(names.Name(i)), volumes[i - host_names]});
      continue;
    }
    const HostFacts& facts = status[i].facts;
    entries.push_back({std::string(names.Name(i)), EffectiveInfo(facts, rows[i] ? &*rows[i] : nullptr)});
    if (device_root && facts.folder && root.IsMounted(names.Key(i))) entries.back().info.attributes |= kMountMarks;
  }
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

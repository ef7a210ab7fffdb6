#include "meta_cache.h"

#include <algorithm>

#include "device_folder.h"

namespace cedev {
namespace {

bool ByName(const MetaRowCache::NamedRow& a, const MetaRowCache::NamedRow& b) { return a.first < b.first; }

}  // namespace

uint64_t MetaRowCache::Stamp() { return ReadSharedCounter(SharedCounter::kFileMeta); }

void MetaRowCache::Keep(const Device& device, std::string_view parent_key, uint64_t stamp,
                        std::vector<NamedRow> rows) {
  // The counter belongs to the current device; rows of another cannot be
  // checked against it.
  if (&device != Device::Current() || rows.size() > kMaxRows) return;
  std::sort(rows.begin(), rows.end(), ByName);
  std::lock_guard lock(mutex_);
  std::erase_if(folders_, [&](const Folder& f) { return f.device == device.Instance() && f.parent_key == parent_key; });
  if (folders_.size() >= kFolders) folders_.erase(folders_.begin());
  folders_.push_back(Folder{device.Instance(), std::string(parent_key), stamp, std::move(rows)});
}

bool MetaRowCache::Find(const Device& device, std::string_view key, std::optional<FileMeta>* row) {
  if (&device != Device::Current()) return false;
  auto [parent, name] = SplitMetaKey(key);
  uint64_t now = Stamp();
  std::lock_guard lock(mutex_);
  for (auto it = folders_.begin(); it != folders_.end(); ++it) {
    if (it->device != device.Instance() || it->parent_key != parent) continue;
    if (it->stamp != now) {
      folders_.erase(it);
      return false;
    }
    auto found = std::lower_bound(it->rows.begin(), it->rows.end(), name,
                                  [](const NamedRow& r, std::string_view n) { return r.first < n; });
    if (found != it->rows.end() && found->first == name)
      *row = found->second;
    else
      row->reset();
    return true;
  }
  return false;
}

void MetaRowCache::Clear() {
  std::lock_guard lock(mutex_);
  folders_.clear();
}

MetaRowCache& MetaRows() {
  static auto* cache = new MetaRowCache;
  return *cache;
}

}  // namespace cedev

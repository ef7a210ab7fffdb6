// What a registry key handle holds: the key's row id, its full path (for
// fault targets and messages) and an enumeration snapshot that stays valid
// while the registry's generation does not change, so walking a key by index
// costs one small query per call instead of a scan.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "ce/types.h"
#include "handles.h"
#include "registry_store.h"
#include "wstr.h"

namespace cedev {

class RegKeyObject : public KObject {
 public:
  RegKeyObject(int64_t id, std::u16string path) : id_(id), path_(std::move(path)) {}

  int64_t id() const { return id_; }
  const std::u16string& path() const { return path_; }
  std::u16string PathOf(std::u16string_view child) const { return path_ + u"\\" + std::u16string(child); }

  // Runs `use` on an up-to-date list of the key's subkeys (or values) while
  // holding the snapshot lock. False when the key no longer exists.
  template <class F>
  bool WithSubkeys(RegistryStore& store, F&& use) {
    std::lock_guard lock(mutex_);
    if (!Refresh(store)) return false;
    if (!subkeys_loaded_) {
      subkeys_ = store.Subkeys(id_);
      subkeys_loaded_ = true;
    }
    use(subkeys_);
    return true;
  }
  template <class F>
  bool WithValues(RegistryStore& store, F&& use) {
    std::lock_guard lock(mutex_);
    if (!Refresh(store)) return false;
    LoadValues(store);
    use(values_);
    return true;
  }

  enum class Cached { kUnknown, kFound, kMissing };
  // Answers a value query from the snapshot when one is loaded and current
  // (a backup enumerates a key's values, then queries each by name).
  Cached FindValue(RegistryStore& store, std::u16string_view name, RegValueRow* out) {
    std::lock_guard lock(mutex_);
    if (!values_loaded_ || store.Generation() != generation_ || store.DeviceToken() != device_) {
      return Cached::kUnknown;
    }
    auto it = value_index_.find(Fold(name));
    if (it == value_index_.end()) return Cached::kMissing;
    *out = values_[it->second];
    return Cached::kFound;
  }

 private:
  // Drops the snapshot when the registry changed; false when the key is gone.
  bool Refresh(RegistryStore& store) {
    int64_t generation = store.Generation();
    const void* device = store.DeviceToken();
    if (generation == generation_ && device == device_ && (subkeys_loaded_ || values_loaded_)) return true;
    device_ = device;
    subkeys_loaded_ = values_loaded_ = false;
    subkeys_.clear();
    values_.clear();
    value_index_.clear();
    generation_ = generation;
    return store.KeyExists(id_);
  }

  void LoadValues(RegistryStore& store) {
    if (values_loaded_) return;
    values_ = store.Values(id_);
    for (size_t i = 0; i < values_.size(); ++i) value_index_.emplace(Fold(values_[i].name), i);
    values_loaded_ = true;
  }

  const int64_t id_;
  const std::u16string path_;
  std::mutex mutex_;
  int64_t generation_ = -1;
  const void* device_ = nullptr;  // the roots' snapshots outlive a device switch
  bool subkeys_loaded_ = false;
  bool values_loaded_ = false;
  std::vector<RegKeyRow> subkeys_;
  std::vector<RegValueRow> values_;
  std::unordered_map<std::u16string, size_t> value_index_;  // folded name -> values_ index
};

}  // namespace cedev

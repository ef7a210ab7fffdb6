// Handles of the window system's own objects (menus, accelerator tables,
// icons) in this program: values of their own range, so one kind is never
// taken for another and a stale handle finds nothing.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "ce/types.h"

namespace cedev::gwes {

template <class T>
class HandleTable {
 public:
  explicit HandleTable(uintptr_t base) : base_(base), next_(base + 4) {}
  uintptr_t Add(std::shared_ptr<T> object) {
    std::lock_guard lock(mutex_);
    uintptr_t value = next_;
    next_ += 4;
    objects_[value] = std::move(object);
    return value;
  }
  std::shared_ptr<T> Find(const void* handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
  }
  bool Remove(const void* handle) {
    std::lock_guard lock(mutex_);
    return objects_.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
  }

 private:
  std::mutex mutex_;
  uintptr_t base_;
  uintptr_t next_;
  std::map<uintptr_t, std::shared_ptr<T>> objects_;
};

}  // namespace cedev::gwes

// Resources a program defines as C++ tables and registers for its module:
// dialog templates, menus, accelerator tables and icons are looked up here
// by module and id, as string tables are. A null module is the program's own.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "ce/user.h"
#include "last_error.h"
#include "program.h"

namespace cedev::gwes {

template <class T>
class ModuleResources {
 public:
  void Add(HINSTANCE module, UINT id, T value) {
    std::lock_guard lock(mutex_);
    entries_[{Module(module), id}] = std::move(value);
  }
  // ERROR_RESOURCE_NAME_NOT_FOUND for an id the module lacks (names that are
  // no ids included: the tables only have ids).
  std::optional<T> Find(HINSTANCE module, LPCWSTR name) {
    if (!name || !IS_INTRESOURCE(name)) return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, std::optional<T>());
    std::lock_guard lock(mutex_);
    auto it = entries_.find({Module(module), static_cast<UINT>(reinterpret_cast<uintptr_t>(name))});
    if (it == entries_.end()) return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, std::optional<T>());
    return it->second;
  }

 private:
  static HINSTANCE Module(HINSTANCE module) { return module ? module : ProgramInstance(); }
  std::mutex mutex_;
  std::map<std::pair<HINSTANCE, UINT>, T> entries_;
};

}  // namespace cedev::gwes

// Window classes of this program: the ones it registers and the device's
// own (the controls, "Dialog", the command bar), which every program has.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ce/user.h"

namespace cedev::gwes {

struct WindowClass {
  std::u16string name;
  WNDCLASSW info{};  // lpszClassName and lpszMenuName point into the strings below
  std::u16string menu_name;
  bool system = false;
  std::atomic<int> windows{0};  // live windows of the class
};

class ClassRegistry {
 public:
  // ERROR_CLASS_ALREADY_EXISTS for a name taken.
  ATOM Add(const WNDCLASSW& info, bool system);
  // Nothing when the name (or atom) is unknown.
  std::shared_ptr<WindowClass> Find(LPCWSTR name_or_atom);
  // ERROR_CLASS_DOES_NOT_EXIST, ERROR_CLASS_HAS_WINDOWS.
  bool Remove(LPCWSTR name_or_atom);

 private:
  std::mutex mutex_;
  std::vector<std::shared_ptr<WindowClass>> classes_;  // the atom is 0xC000 + index
};

void RegisterSystemClasses(ClassRegistry& registry);

}  // namespace cedev::gwes

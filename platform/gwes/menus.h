// Menus of this program: built from the registered tables or by hand, and
// found by their handles.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ce/user.h"

namespace cedev::gwes {

struct Menu;

struct MenuItem {
  UINT flags = 0;  // MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_DISABLED, MF_CHECKED
  UINT id = 0;
  std::u16string text;
  HMENU popup = nullptr;
};

struct Menu {
  std::vector<MenuItem> items;
};

std::shared_ptr<Menu> MenuOf(HMENU menu);

}  // namespace cedev::gwes

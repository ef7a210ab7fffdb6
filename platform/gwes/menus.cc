#include "menus.h"

#include <algorithm>

#include "handle_table.h"
#include "last_error.h"
#include "module_resources.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

constexpr uintptr_t kMenuBase = 0x7D000000;
constexpr UINT kNotFound = 0xFFFFFFFFu;
constexpr UINT kStateFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED;

HandleTable<Menu>& Menus() {
  static auto* menus = new HandleTable<Menu>(kMenuBase);
  return *menus;
}

ModuleResources<const CE_MENU_TEMPLATE*>& Templates() {
  static auto* templates = new ModuleResources<const CE_MENU_TEMPLATE*>;
  return *templates;
}

HMENU NewMenu() { return reinterpret_cast<HMENU>(Menus().Add(std::make_shared<Menu>())); }

HMENU Build(const CE_MENU_ITEM* items, size_t count, int depth) {
  HMENU handle = NewMenu();
  std::shared_ptr<Menu> menu = MenuOf(handle);
  for (size_t i = 0; i < count; ++i) {
    MenuItem item{items[i].flags, items[i].id, std::u16string(WView(items[i].text)), nullptr};
    if ((items[i].flags & MF_POPUP) && depth < 8) item.popup = Build(items[i].popup, items[i].popupCount, depth + 1);
    menu->items.push_back(std::move(item));
  }
  return handle;
}

// The item at a position, or (MF_BYCOMMAND) with an id, looking into popups.
MenuItem* Locate(HMENU handle, UINT at, UINT flags, int depth = 0) {
  std::shared_ptr<Menu> menu = MenuOf(handle);
  if (!menu || depth > 8) return nullptr;
  if (flags & MF_BYPOSITION) return at < menu->items.size() ? &menu->items[at] : nullptr;
  for (MenuItem& item : menu->items) {
    if (!(item.flags & MF_POPUP) && item.id == at) return &item;
    if (item.popup) {
      if (MenuItem* inner = Locate(item.popup, at, flags, depth + 1)) return inner;
    }
  }
  return nullptr;
}

UINT ChangeState(HMENU handle, UINT at, UINT flags, UINT mask) {
  if (!MenuOf(handle)) return Fail(ERROR_INVALID_MENU_HANDLE, kNotFound);
  MenuItem* item = Locate(handle, at, flags);
  if (!item) return kNotFound;
  UINT previous = item->flags & mask;
  item->flags = (item->flags & ~mask) | (flags & mask);
  return previous;
}

bool Insert(HMENU handle, UINT at, UINT flags, UINT_PTR id, LPCWSTR text) {
  std::shared_ptr<Menu> menu = MenuOf(handle);
  if (!menu) return Fail(ERROR_INVALID_MENU_HANDLE, false);
  MenuItem item;
  item.flags = flags & (MF_POPUP | MF_SEPARATOR | kStateFlags);
  if (flags & MF_POPUP) {
    item.popup = reinterpret_cast<HMENU>(id);
    if (!MenuOf(item.popup)) return Fail(ERROR_INVALID_MENU_HANDLE, false);
  } else {
    item.id = static_cast<UINT>(id);
  }
  if (text && !(flags & MF_SEPARATOR)) item.text = WView(text);
  size_t position = menu->items.size();
  if (at != kNotFound) {
    if (flags & MF_BYPOSITION) {
      position = std::min<size_t>(at, menu->items.size());
    } else {
      for (size_t i = 0; i < menu->items.size(); ++i) {
        if (menu->items[i].id == at && !(menu->items[i].flags & MF_POPUP)) position = i;
      }
    }
  }
  menu->items.insert(menu->items.begin() + static_cast<long>(position), std::move(item));
  return true;
}

bool Remove(HMENU handle, UINT at, UINT flags, bool destroy_popup) {
  std::shared_ptr<Menu> menu = MenuOf(handle);
  if (!menu) return Fail(ERROR_INVALID_MENU_HANDLE, false);
  for (size_t i = 0; i < menu->items.size(); ++i) {
    bool match = (flags & MF_BYPOSITION) ? i == at : (menu->items[i].id == at && !(menu->items[i].flags & MF_POPUP));
    if (!match) continue;
    if (destroy_popup && menu->items[i].popup) DestroyMenu(menu->items[i].popup);
    menu->items.erase(menu->items.begin() + static_cast<long>(i));
    return true;
  }
  return Fail(ERROR_INVALID_PARAMETER, false);
}

}  // namespace

std::shared_ptr<Menu> MenuOf(HMENU menu) { return Menus().Find(menu); }

}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

void CeRegisterMenus(HINSTANCE hModule, const CE_MENU_TEMPLATE* menus, size_t count) {
  for (size_t i = 0; menus && i < count; ++i) Templates().Add(hModule, menus[i].id, &menus[i]);
}

HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName) {
  auto tmpl = Templates().Find(hInstance, lpMenuName);
  if (!tmpl) return nullptr;
  return Build((*tmpl)->items, (*tmpl)->itemCount, 0);
}

HMENU CreateMenu() { return NewMenu(); }
HMENU CreatePopupMenu() { return NewMenu(); }

BOOL DestroyMenu(HMENU hMenu) {
  std::shared_ptr<Menu> menu = MenuOf(hMenu);
  if (!menu) return Fail(ERROR_INVALID_MENU_HANDLE, FALSE);
  Menus().Remove(hMenu);
  for (const MenuItem& item : menu->items) {
    if (item.popup) DestroyMenu(item.popup);
  }
  return TRUE;
}

BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
  return Insert(hMenu, kNotFound, uFlags & ~MF_BYPOSITION, uIDNewItem, lpNewItem) ? TRUE : FALSE;
}

BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
  return Insert(hMenu, uPosition, uFlags, uIDNewItem, lpNewItem) ? TRUE : FALSE;
}

BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) { return Remove(hMenu, uPosition, uFlags, true); }
BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags) { return Remove(hMenu, uPosition, uFlags, false); }

HMENU GetSubMenu(HMENU hMenu, int nPos) {
  std::shared_ptr<Menu> menu = MenuOf(hMenu);
  if (!menu || nPos < 0 || static_cast<size_t>(nPos) >= menu->items.size()) return nullptr;
  return menu->items[static_cast<size_t>(nPos)].popup;
}

int GetMenuItemCount(HMENU hMenu) {
  std::shared_ptr<Menu> menu = MenuOf(hMenu);
  if (!menu) return Fail(ERROR_INVALID_MENU_HANDLE, -1);
  return static_cast<int>(menu->items.size());
}

UINT GetMenuItemID(HMENU hMenu, int nPos) {
  std::shared_ptr<Menu> menu = MenuOf(hMenu);
  if (!menu || nPos < 0 || static_cast<size_t>(nPos) >= menu->items.size()) return kNotFound;
  const MenuItem& item = menu->items[static_cast<size_t>(nPos)];
  return item.popup ? kNotFound : item.id;
}

UINT EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
  return ChangeState(hMenu, uIDEnableItem, uEnable, MF_GRAYED | MF_DISABLED);
}

DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck) {
  return ChangeState(hMenu, uIDCheckItem, uCheck, MF_CHECKED);
}

UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
  if (!MenuOf(hMenu)) return Fail(ERROR_INVALID_MENU_HANDLE, kNotFound);
  MenuItem* item = Locate(hMenu, uId, uFlags);
  if (!item) return kNotFound;
  if (item->popup) return (static_cast<UINT>(GetMenuItemCount(item->popup)) << 8) | (item->flags & 0xFF);
  return item->flags & (kStateFlags | MF_SEPARATOR);
}

int GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags) {
  MenuItem* item = MenuOf(hMenu) ? Locate(hMenu, uIDItem, flags) : nullptr;
  if (!item) return 0;
  if (!lpString || cchMax <= 0) return static_cast<int>(item->text.size());
  int n = std::min<int>(static_cast<int>(item->text.size()), cchMax - 1);
  std::copy_n(item->text.data(), n, lpString);
  lpString[n] = 0;
  return n;
}

BOOL DrawMenuBar(HWND hWnd) { return IsWindow(hWnd); }

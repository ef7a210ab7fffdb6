// Accelerator tables and icons, from the tables a program registers.
#include <vector>

#include "handle_table.h"
#include "last_error.h"
#include "module_resources.h"
#include "session.h"
#include "window.h"

namespace cedev::gwes {
namespace {

using AcceleratorTable = std::vector<ACCEL>;

struct Icon {
  UINT id = 0;
  int cx = 0;
  int cy = 0;
};

HandleTable<AcceleratorTable>& Accelerators() {
  static auto* tables = new HandleTable<AcceleratorTable>(0x7C000000);
  return *tables;
}

ModuleResources<AcceleratorTable>& AcceleratorResources() {
  static auto* resources = new ModuleResources<AcceleratorTable>;
  return *resources;
}

HandleTable<Icon>& Icons() {
  static auto* icons = new HandleTable<Icon>(0x7B000000);
  return *icons;
}

ModuleResources<bool>& IconResources() {
  static auto* resources = new ModuleResources<bool>;
  return *resources;
}

bool IsSystemIcon(LPCWSTR name) {
  auto id = reinterpret_cast<uintptr_t>(name);
  return IS_INTRESOURCE(name) && id >= 32512 && id <= 32516;
}

bool Matches(const ACCEL& entry, const MSG& msg) {
  bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  bool character = msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
  if ((entry.fVirt & FVIRTKEY) ? !key : !character) return false;
  if (entry.key != msg.wParam) return false;
  if (!(entry.fVirt & FVIRTKEY)) return true;
  bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
  return shift == bool(entry.fVirt & FSHIFT) && control == bool(entry.fVirt & FCONTROL) && alt == bool(entry.fVirt & FALT);
}

}  // namespace
}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

void CeRegisterAccelerators(HINSTANCE hModule, UINT id, const ACCEL* entries, size_t count) {
  AcceleratorResources().Add(hModule, id, AcceleratorTable(entries, entries + (entries ? count : 0)));
}

HACCEL LoadAcceleratorsW(HINSTANCE hInstance, LPCWSTR lpTableName) {
  auto table = AcceleratorResources().Find(hInstance, lpTableName);
  if (!table) return nullptr;
  return reinterpret_cast<HACCEL>(Accelerators().Add(std::make_shared<AcceleratorTable>(*table)));
}

HACCEL CreateAcceleratorTableW(LPACCEL lpaccl, int cEntries) {
  if (!lpaccl || cEntries <= 0) return Fail(ERROR_INVALID_PARAMETER, HACCEL{});
  return reinterpret_cast<HACCEL>(Accelerators().Add(std::make_shared<AcceleratorTable>(lpaccl, lpaccl + cEntries)));
}

BOOL DestroyAcceleratorTable(HACCEL hAccel) {
  return Accelerators().Remove(hAccel) ? TRUE : Fail(ERROR_INVALID_ACCEL_HANDLE, FALSE);
}

int TranslateAcceleratorW(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
  std::shared_ptr<AcceleratorTable> table = Accelerators().Find(hAccTable);
  if (!table) return Fail(ERROR_INVALID_ACCEL_HANDLE, 0);
  if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, 0);
  if (!IsWindow(hWnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
  for (const ACCEL& entry : *table) {
    if (!Matches(entry, *lpMsg)) continue;
    SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
    return 1;
  }
  return 0;
}

void CeRegisterIcons(HINSTANCE hModule, const CE_ICON_RESOURCE* icons, size_t count) {
  for (size_t i = 0; icons && i < count; ++i) IconResources().Add(hModule, icons[i].id, true);
}

HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR lpszName, UINT uType, int cxDesired, int cyDesired, UINT fuLoad) {
  if (uType != IMAGE_ICON) return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND, HANDLE{});
  if (fuLoad & LR_LOADFROMFILE) return Fail(ERROR_NOT_SUPPORTED, HANDLE{});
  bool known = (!hInst && IsSystemIcon(lpszName)) || IconResources().Find(hInst, lpszName).has_value();
  if (!known) return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HANDLE{});
  int cx = cxDesired > 0 ? cxDesired : GetSystemMetrics(SM_CXICON);
  int cy = cyDesired > 0 ? cyDesired : GetSystemMetrics(SM_CYICON);
  auto icon = std::make_shared<Icon>(Icon{static_cast<UINT>(reinterpret_cast<uintptr_t>(lpszName)), cx, cy});
  return reinterpret_cast<HANDLE>(Icons().Add(icon));
}

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
  return static_cast<HICON>(LoadImageW(hInstance, lpIconName, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

BOOL DestroyIcon(HICON hIcon) { return Icons().Remove(hIcon) ? TRUE : Fail(ERROR_INVALID_ICON_HANDLE, FALSE); }

BOOL CeGetIconInfo(HICON hIcon, UINT* id, int* cx, int* cy) {
  std::shared_ptr<Icon> icon = Icons().Find(hIcon);
  if (!icon) return Fail(ERROR_INVALID_ICON_HANDLE, FALSE);
  if (id) *id = icon->id;
  if (cx) *cx = icon->cx;
  if (cy) *cy = icon->cy;
  return TRUE;
}

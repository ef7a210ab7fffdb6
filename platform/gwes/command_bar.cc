// The command bar: a strip along the top of its window that carries the
// window's menu bar and its adornments (close, and OK and help on request).
#include <vector>

#include "classes.h"
#include "control_procs.h"
#include "control_util.h"
#include "last_error.h"
#include "metrics.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

struct CommandBarData : ControlData {
  std::vector<std::pair<WORD, HMENU>> menus;  // button position, menu
};

constexpr int kAdornmentWidth = 22;

std::shared_ptr<Window> CommandBarWindow(HWND hwnd) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (w && (!w->window_class || w->window_class->name != TOOLBARCLASSNAMEW)) {
    return Fail(ERROR_INVALID_WINDOW_HANDLE, std::shared_ptr<Window>());
  }
  return w;
}

void Adorn(HWND bar, int* right, UINT id, LPCWSTR text) {
  *right -= kAdornmentWidth;
  CreateWindowExW(0, u"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, *right, 0, kAdornmentWidth,
                  kCommandBarHeight, bar, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
}

// What pressing an adornment means for the bar's window.
void Adornment(const Window& bar, WORD id) {
  HWND owner = ToHwnd(bar.parent);
  switch (id) {
    case CMDBAR_CLOSE_ID:
      PostMessageW(owner, WM_CLOSE, 0, 0);
      break;
    case CMDBAR_OK_ID:
      SendMessageW(owner, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      break;
    case CMDBAR_HELP_ID: {
      HELPINFO help{sizeof(HELPINFO), HELPINFO_WINDOW, 0, owner, 0, {0, 0}};
      SendMessageW(owner, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
      break;
    }
    default:
      // A menu command chosen on the bar goes to the window.
      SendMessageW(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
      break;
  }
}

}  // namespace

LRESULT CALLBACK CommandBarProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_COMMAND:
      Adornment(*w, LOWORD(wparam));
      return 0;
    case WM_DESTROY:
      for (auto& [button, menu] : DataOf<CommandBarData>(*w).menus) DestroyMenu(menu);
      DataOf<CommandBarData>(*w).menus.clear();
      return 0;
    default:
      return DefaultWindowMessage(w, msg, wparam, lparam);
  }
}

}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

void InitCommonControls() {}

BOOL InitCommonControlsEx(LPINITCOMMONCONTROLSEX lpInitCtrls) {
  if (!lpInitCtrls || lpInitCtrls->dwSize != sizeof(INITCOMMONCONTROLSEX)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  return TRUE;
}

HWND CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar) {
  RECT client;
  if (!GetClientRect(hwndParent, &client)) return nullptr;
  return CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD, 0, 0, client.right, kCommandBarHeight, hwndParent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(idCmdBar)), hInst, nullptr);
}

BOOL CommandBar_InsertMenubarEx(HWND hwndCB, HINSTANCE hInst, LPWSTR pszMenu, WORD iButton) {
  std::shared_ptr<Window> w = CommandBarWindow(hwndCB);
  if (!w) return FALSE;
  HMENU menu = LoadMenuW(hInst, pszMenu);
  if (!menu) return FALSE;
  auto& menus = DataOf<CommandBarData>(*w).menus;
  for (auto& [button, existing] : menus) {
    if (button == iButton) {
      DestroyMenu(existing);
      existing = menu;
      return TRUE;
    }
  }
  menus.emplace_back(iButton, menu);
  return TRUE;
}

BOOL CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton) {
  return CommandBar_InsertMenubarEx(hwndCB, hInst, MAKEINTRESOURCEW(idMenu), iButton);
}

HMENU CommandBar_GetMenu(HWND hwndCB, WORD iButton) {
  std::shared_ptr<Window> w = CommandBarWindow(hwndCB);
  if (!w) return nullptr;
  for (auto& [button, menu] : DataOf<CommandBarData>(*w).menus) {
    if (button == iButton) return menu;
  }
  return nullptr;
}

BOOL CommandBar_AddAdornments(HWND hwndCB, DWORD dwFlags, DWORD) {
  std::shared_ptr<Window> w = CommandBarWindow(hwndCB);
  if (!w) return FALSE;
  int right = w->rect.right - w->rect.left;
  Adorn(hwndCB, &right, CMDBAR_CLOSE_ID, u"\u00D7");
  if (dwFlags & CMDBAR_OK) Adorn(hwndCB, &right, CMDBAR_OK_ID, u"OK");
  if (dwFlags & CMDBAR_HELP) Adorn(hwndCB, &right, CMDBAR_HELP_ID, u"?");
  return TRUE;
}

BOOL CommandBar_Show(HWND hwndCB, BOOL fShow) {
  if (!CommandBarWindow(hwndCB)) return FALSE;
  ShowWindow(hwndCB, fShow ? SW_SHOWNOACTIVATE : SW_HIDE);
  return TRUE;
}

BOOL CommandBar_IsVisible(HWND hwndCB) { return CommandBarWindow(hwndCB) && IsWindowVisible(hwndCB); }

int CommandBar_Height(HWND hwndCB) {
  RECT r;
  return CommandBarWindow(hwndCB) && GetWindowRect(hwndCB, &r) ? static_cast<int>(r.bottom - r.top) : 0;
}

BOOL CommandBar_DrawMenuBar(HWND hwndCB, WORD) { return CommandBarWindow(hwndCB) ? TRUE : FALSE; }

// Menus, accelerator tables and icons. Like string tables and dialog
// templates they are C++ tables in each program's res/ folder, registered
// for the program's module before first use.
#pragma once

#include <cstddef>

#include "ce/types.h"
#include "ce/errors.h"
#include "ce/window.h"

// --- Menus ---------------------------------------------------------------------

#define MF_INSERT 0x00000000L
#define MF_CHANGE 0x00000080L
#define MF_APPEND 0x00000100L
#define MF_DELETE 0x00000200L
#define MF_REMOVE 0x00001000L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define MF_STRING 0x00000000L
#define MF_POPUP 0x00000010L
#define MF_MENUBARBREAK 0x00000020L
#define MF_MENUBREAK 0x00000040L
#define MF_OWNERDRAW 0x00000100L

// One item of a menu table: a command (id and text), a separator
// (MF_SEPARATOR) or a popup (MF_POPUP with its own items).
typedef struct _CE_MENU_ITEM {
  UINT flags;
  UINT id;
  LPCWSTR text;
  const struct _CE_MENU_ITEM* popup;
  size_t popupCount;
} CE_MENU_ITEM;

typedef struct _CE_MENU_TEMPLATE {
  UINT id;
  const CE_MENU_ITEM* items;
  size_t itemCount;
} CE_MENU_TEMPLATE;

void CeRegisterMenus(HINSTANCE hModule, const CE_MENU_TEMPLATE* menus, size_t count);

// A new menu built from the registered table (each call makes its own copy).
HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName);
#define LoadMenu LoadMenuW
HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU hMenu);
BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
#define AppendMenu AppendMenuW
BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
#define InsertMenu InsertMenuW
BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
HMENU GetSubMenu(HMENU hMenu, int nPos);
int GetMenuItemCount(HMENU hMenu);
UINT GetMenuItemID(HMENU hMenu, int nPos);
// The item's previous state (MF_ENABLED, MF_GRAYED, MF_DISABLED), or
// 0xFFFFFFFF when the menu has no such item. MF_BYCOMMAND looks through the
// popups too.
UINT EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck);
UINT GetMenuState(HMENU hMenu, UINT uId, UINT uFlags);
int GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags);
#define GetMenuString GetMenuStringW
BOOL DrawMenuBar(HWND hWnd);

// --- Accelerators --------------------------------------------------------------

#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

typedef struct tagACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
} ACCEL, *LPACCEL;

void CeRegisterAccelerators(HINSTANCE hModule, UINT id, const ACCEL* entries, size_t count);
HACCEL LoadAcceleratorsW(HINSTANCE hInstance, LPCWSTR lpTableName);
#define LoadAccelerators LoadAcceleratorsW
HACCEL CreateAcceleratorTableW(LPACCEL lpaccl, int cEntries);
#define CreateAcceleratorTable CreateAcceleratorTableW
BOOL DestroyAcceleratorTable(HACCEL hAccel);
// A key-down (WM_KEYDOWN, WM_SYSKEYDOWN) or character message that matches
// an entry, with the Shift, Ctrl and Alt keys as this thread's messages have
// seen them, is sent to hWnd as WM_COMMAND (the command id, 1); TRUE then.
int TranslateAcceleratorW(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg);
#define TranslateAccelerator TranslateAcceleratorW

// --- Icons ---------------------------------------------------------------------

// An icon resource. Nothing is drawn yet, so an icon is known by its id and
// the sizes it comes in (16 and 32 pixels square unless a table says other).
typedef struct _CE_ICON_RESOURCE {
  UINT id;
  LPCWSTR description;
} CE_ICON_RESOURCE;

void CeRegisterIcons(HINSTANCE hModule, const CE_ICON_RESOURCE* icons, size_t count);

// The device's own icons, loaded with a null module.
#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDI_HAND MAKEINTRESOURCEW(32513)
#define IDI_QUESTION MAKEINTRESOURCEW(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEW(32515)
#define IDI_ASTERISK MAKEINTRESOURCEW(32516)

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x0000
#define LR_MONOCHROME 0x0001
#define LR_LOADFROMFILE 0x0010
#define LR_DEFAULTSIZE 0x0040
#define LR_SHARED 0x8000

// IMAGE_ICON from the module's icon table, at the size asked for (0 with
// LR_DEFAULTSIZE: 32). ERROR_RESOURCE_NAME_NOT_FOUND for an unknown id,
// ERROR_RESOURCE_TYPE_NOT_FOUND for other image types.
HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR lpszName, UINT uType, int cxDesired, int cyDesired, UINT fuLoad);
#define LoadImage LoadImageW
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
#define LoadIcon LoadIconW
BOOL DestroyIcon(HICON hIcon);
// The resource id and size of an icon handle (FALSE for a handle that is none).
BOOL CeGetIconInfo(HICON hIcon, UINT* id, int* cx, int* cy);

// The common controls library: the command bar, the strip at the top of a
// window that carries its menu bar and the adornments (close, OK, help).
#pragma once

#include "ce/types.h"
#include "ce/window.h"
#include "ce/menu.h"

typedef struct tagINITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_UPDOWN_CLASS 0x00000010
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_DATE_CLASSES 0x00000100
#define ICC_COOL_CLASSES 0x00000400

void InitCommonControls();
BOOL InitCommonControlsEx(LPINITCOMMONCONTROLSEX lpInitCtrls);

#define TOOLBARCLASSNAMEW TEXT("ToolbarWindow32")
#define TOOLBARCLASSNAME TOOLBARCLASSNAMEW

#define CMDBAR_HELP 0x0001
#define CMDBAR_OK 0x0002

// The ids of the adornment buttons on a command bar: pressing the close
// adornment sends WM_CLOSE to the bar's parent, OK sends WM_COMMAND IDOK,
// help sends WM_HELP.
#define CMDBAR_CLOSE_ID 0xFFF0
#define CMDBAR_OK_ID 0xFFF1
#define CMDBAR_HELP_ID 0xFFF2

// A command bar: a child of the window along its top edge, CommandBar_Height
// pixels high and as wide as the window's client area, hidden until shown.
HWND CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar);
// Puts the menu resource on the bar at the given button position.
BOOL CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton);
BOOL CommandBar_InsertMenubarEx(HWND hwndCB, HINSTANCE hInst, LPWSTR pszMenu, WORD iButton);
// The menu inserted at that position (NULL when there is none).
HMENU CommandBar_GetMenu(HWND hwndCB, WORD iButton);
// Adds the close adornment, and the help and OK ones that the flags ask for.
BOOL CommandBar_AddAdornments(HWND hwndCB, DWORD dwFlags, DWORD dwReserved);
BOOL CommandBar_Show(HWND hwndCB, BOOL fShow);
BOOL CommandBar_IsVisible(HWND hwndCB);
int CommandBar_Height(HWND hwndCB);
BOOL CommandBar_DrawMenuBar(HWND hwndCB, WORD iButton);
#define CommandBar_Destroy(hwndCB) DestroyWindow(hwndCB)

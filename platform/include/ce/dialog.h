// Dialogs: templates (C++ tables in each program's res/ folder, registered
// per module), modal and modeless dialogs, the dialog manager's keyboard
// handling and the dialog item helpers. Dialog windows have class "Dialog".
#pragma once

#include <cstddef>

#include "ce/types.h"
#include "ce/errors.h"
#include "ce/window.h"

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define DS_ABSALIGN 0x01L
#define DS_SYSMODAL 0x02L
#define DS_3DLOOK 0x04L
#define DS_FIXEDSYS 0x08L
#define DS_NOFAILCREATE 0x10L
#define DS_LOCALEDIT 0x20L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_NOIDLEMSG 0x100L
#define DS_SETFOREGROUND 0x200L
#define DS_CONTROL 0x0400L
#define DS_CENTER 0x0800L
#define DS_CENTERMOUSE 0x1000L
#define DS_CONTEXTHELP 0x2000L

// One control of a dialog template. Positions and sizes are dialog units.
// The class is "BUTTON", "EDIT", "STATIC" or "COMBOBOX" (any registered
// class of the program is accepted too); the text of an SS_ICON static is
// the icon's resource id (MAKEINTRESOURCE).
typedef struct _CE_DIALOG_ITEM {
  LPCWSTR className;
  LPCWSTR text;
  WORD id;
  DWORD style;  // WS_CHILD is implied
  DWORD exStyle;
  short x;
  short y;
  short cx;
  short cy;
} CE_DIALOG_ITEM;

// A dialog template: the dialog's own style, position and size (the size of
// its client area, in dialog units), caption, font and controls. With
// DS_CENTER the position is ignored and the dialog is centred on the screen.
typedef struct _CE_DIALOG_TEMPLATE {
  UINT id;
  DWORD style;
  DWORD exStyle;
  short x;
  short y;
  short cx;
  short cy;
  LPCWSTR caption;
  LPCWSTR fontName;
  WORD pointSize;
  const CE_DIALOG_ITEM* items;
  size_t itemCount;
} CE_DIALOG_TEMPLATE;
typedef const CE_DIALOG_TEMPLATE* LPCDLGTEMPLATEW;

// Registers a module's dialog templates (the tables must outlive the program).
void CeRegisterDialogTemplates(HINSTANCE hModule, const CE_DIALOG_TEMPLATE* templates, size_t count);
// The registered template, or NULL (ERROR_RESOURCE_NAME_NOT_FOUND).
LPCDLGTEMPLATEW CeFindDialogTemplate(HINSTANCE hModule, LPCWSTR lpTemplateName);

// Runs the dialog modally: its owner is disabled until EndDialog, and the
// result of EndDialog is returned. -1 when the template is unknown or one of
// its items cannot be created (an unknown item class).
INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam);
#define DialogBoxParam DialogBoxParamW
#define DialogBoxW(i, t, p, f) DialogBoxParamW(i, t, p, f, 0)
#define DialogBox DialogBoxW
INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam);
#define DialogBoxIndirectParam DialogBoxIndirectParamW
// A modeless dialog; NULL on the failures DialogBoxParamW reports as -1.
HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam);
#define CreateDialogParam CreateDialogParamW
#define CreateDialogW(i, t, p, f) CreateDialogParamW(i, t, p, f, 0)
#define CreateDialog CreateDialogW
HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam);
#define CreateDialogIndirectParam CreateDialogIndirectParamW
// Ends a modal dialog with the given result (the window goes once the
// dialog's loop sees it); a modeless dialog is hidden.
BOOL EndDialog(HWND hDlg, INT_PTR nResult);
LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam);
#define DefDlgProc DefDlgProcW

// The dialog's extra bytes: the 32-bit forms for GetWindowLongW, the
// pointer-sized ones for GetWindowLongPtrW.
#define DWL_MSGRESULT 0
#define DWL_DLGPROC 4
#define DWL_USER 8
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + sizeof(LRESULT))
#define DWLP_USER (DWLP_DLGPROC + sizeof(DLGPROC))
#define DLGWINDOWEXTRA 32

#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define IDC_STATIC (-1)

#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// The dialog manager's keyboard handling for a message of the dialog or one
// of its controls: Tab and Shift+Tab move the focus through the WS_TABSTOP
// controls, Enter presses the focused push button or else the default one
// (IDOK when there is none), Escape presses IDCANCEL. Every other message of
// the dialog is translated and dispatched. FALSE for a message of another
// window, which the caller handles.
BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg);
#define IsDialogMessage IsDialogMessageW
HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious);

// The child with the id, of any window of the device;
// ERROR_CONTROL_ID_NOT_FOUND when it has none.
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
int GetDlgCtrlID(HWND hWnd);
// Sends WM_GETTEXT to the item (across programs too).
UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int nMaxCount);
#define GetDlgItemText GetDlgItemTextW
BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
#define SetDlgItemText SetDlgItemTextW
UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned);
BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned);
LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
#define SendDlgItemMessage SendDlgItemMessageW
BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);
BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton);

// Dialog units to pixels. The device's dialogs use the base units of its
// 9-point font on its 96-dpi screen: 6 pixels per 4 horizontal units and 12
// pixels per 8 vertical units, for every program.
BOOL MapDialogRect(HWND hDlg, LPRECT lpRect);
LONG GetDialogBaseUnits();

// User interface: message boxes, string resources and cursors, with the
// window system they stand on.
#pragma once

#include <cstddef>

#include "ce/types.h"
#include "ce/errors.h"
#include "ce/window.h"
#include "ce/dialog.h"
#include "ce/controls.h"
#include "ce/menu.h"

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// The items of a message box (a dialog of class "Dialog" captioned as
// given): the text is static item 0xFFFF, the icon item 0xFFFD has the
// text U+FFFF followed by the icon flag as one unit (U+0040 for
// MB_ICONINFORMATION), and each button has its id (IDOK ... IDNO).
#define CE_MSGBOX_TEXT_ID 0xFFFF
#define CE_MSGBOX_ICON_ID 0xFFFD

// Shows a message box and returns the id of the button pressed (0 on
// failure). The owner, when given, is disabled while the box is open.
// Caption, text, flags and answer go into the device's journal. Who
// answers: the answerer a test installed, else the next scripted answer
// (CEDEV_ANSWERS, set by `cedev run --answer`), else a person when the
// program runs at a terminal; otherwise the box waits for a press through
// its window (another program, the automation API, `cedev ui`) or for the
// device's automatic user, which presses the default button.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
#define MessageBox MessageBoxW

// Installed by tests: called for every message box of this process; returns
// the button id to press (0 means "let the next way answer").
typedef int (*CeMessageBoxAnswerer)(LPCWSTR caption, LPCWSTR text, UINT type, void* context);
void CeSetMessageBoxAnswerer(CeMessageBoxAnswerer answerer, void* context);

// String resources. Each program keeps its string table as a C++ table and
// registers it for its module before first use.
typedef struct _CE_STRINGTABLE_ENTRY {
  UINT id;
  LPCWSTR text;
} CE_STRINGTABLE_ENTRY;
void CeRegisterStringTable(HINSTANCE hModule, const CE_STRINGTABLE_ENTRY* entries, size_t count);
// Copies at most cchBufferMax - 1 units and a terminator; returns the units
// copied (0 when the id is unknown: ERROR_RESOURCE_NAME_NOT_FOUND).
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);

#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_WAIT MAKEINTRESOURCEW(32514)

// Cursor changes are recorded in the journal.
HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName);
HCURSOR SetCursor(HCURSOR hCursor);

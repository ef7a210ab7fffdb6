// The program's message boxes: every one carries AppTitle as its caption
// (the auto-restore tool finds the result box by it) and a text from the
// string table.
#pragma once

#include <windows.h>

// Shows string `stringId` (loaded with the program's text limit) in a box
// owned by `owner` with the given flags; answers the button pressed.
int ShowAppString(HWND owner, UINT stringId, UINT flags);
// The same for a text the caller made.
int ShowAppText(HWND owner, LPCWSTR text, UINT flags);
// Loads string `stringId` into `text` of TEXT_LIMIT units (empty when the
// table has no such string).
void LoadAppString(UINT stringId, LPWSTR text);

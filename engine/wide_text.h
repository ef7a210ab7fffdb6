// Small helpers on zero-terminated UTF-16 text that the engine and the node
// libraries share: bounded copies, the one-argument path patterns of the
// archive files, and comparison without regard to case.
#pragma once

#include "ce/types.h"

// Units before the terminator; 0 for a null string.
DWORD WideLength(LPCWSTR text);
// Copies with its terminator into a buffer of `capacity` units; FALSE (and
// an empty buffer) when it does not fit.
BOOL WideCopy(LPWSTR buffer, DWORD capacity, LPCWSTR text);
// Formats a pattern holding one "%s" (a location into an archive path);
// FALSE when the result does not fit `capacity` units.
BOOL WideFormat1(LPWSTR buffer, DWORD capacity, LPCWSTR pattern, LPCWSTR argument);
// Upper-case form of one unit, as the device folds names.
WCHAR WideFoldCase(WCHAR c);
// 0 when equal ignoring case; <0 or >0 like wcscmp on the folded units.
int WideCompareNoCase(LPCWSTR a, LPCWSTR b);
inline BOOL WideEqualNoCase(LPCWSTR a, LPCWSTR b) { return WideCompareNoCase(a, b) == 0; }
// A heap copy (new[]), or null when memory runs out.
LPWSTR DuplicateString(LPCWSTR text);
// Frees a string made by DuplicateString or ReadString.
void FreeString(LPWSTR text);

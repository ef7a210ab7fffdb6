#include "wide_text.h"

#include <new>

DWORD WideLength(LPCWSTR text) {
  if (!text) return 0;
  DWORD n = 0;
  while (text[n]) ++n;
  return n;
}

BOOL WideCopy(LPWSTR buffer, DWORD capacity, LPCWSTR text) {
  if (!buffer || capacity == 0) return FALSE;
  DWORD n = WideLength(text);
  if (n + 1 > capacity) {
    buffer[0] = 0;
    return FALSE;
  }
  for (DWORD i = 0; i < n; ++i) buffer[i] = text[i];
  buffer[n] = 0;
  return TRUE;
}

BOOL WideFormat1(LPWSTR buffer, DWORD capacity, LPCWSTR pattern, LPCWSTR argument) {
  if (!buffer || capacity == 0) return FALSE;
  DWORD out = 0;
  bool substituted = false;
  auto put = [&](WCHAR c) {
    if (out + 1 >= capacity) return false;
    buffer[out++] = c;
    return true;
  };
  for (DWORD i = 0; pattern[i]; ++i) {
    if (!substituted && pattern[i] == u'%' && pattern[i + 1] == u's') {
      for (DWORD j = 0; argument && argument[j]; ++j)
        if (!put(argument[j])) return buffer[0] = 0, FALSE;
      substituted = true;
      ++i;
      continue;
    }
    if (!put(pattern[i])) return buffer[0] = 0, FALSE;
  }
  buffer[out] = 0;
  return TRUE;
}

WCHAR WideFoldCase(WCHAR c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? WCHAR(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return WCHAR(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A pairs
    bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddPairs) return (c & 1) ? c : WCHAR(c - 1);
    return (c & 1) ? WCHAR(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return WCHAR(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return WCHAR(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return WCHAR(c - 0x50);
  if (c >= 0x561 && c <= 0x586) return WCHAR(c - 0x30);
  if (c >= 0xFF41 && c <= 0xFF5A) return WCHAR(c - 0x20);
  return c;
}

int WideCompareNoCase(LPCWSTR a, LPCWSTR b) {
  for (DWORD i = 0;; ++i) {
    WCHAR x = WideFoldCase(a[i]), y = WideFoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

LPWSTR DuplicateString(LPCWSTR text) {
  DWORD n = WideLength(text);
  LPWSTR copy = new (std::nothrow) WCHAR[n + 1];
  if (!copy) return nullptr;
  for (DWORD i = 0; i < n; ++i) copy[i] = text[i];
  copy[n] = 0;
  return copy;
}

void FreeString(LPWSTR text) { delete[] text; }

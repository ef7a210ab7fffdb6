#include "wide_text.h"

#include <new>

#include "ce/strings.h"

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

// The device's own case folding (the whole Basic Multilingual Plane), so the
// engine and the device agree on which names are the same.
WCHAR WideFoldCase(WCHAR c) { return towupper(c); }

int WideCompareNoCase(LPCWSTR a, LPCWSTR b) { return _wcsicmp(a, b); }

LPWSTR DuplicateString(LPCWSTR text) {
  DWORD n = WideLength(text);
  LPWSTR copy = new (std::nothrow) WCHAR[n + 1];
  if (!copy) return nullptr;
  for (DWORD i = 0; i < n; ++i) copy[i] = text[i];
  copy[n] = 0;
  return copy;
}

void FreeString(LPWSTR text) { delete[] text; }

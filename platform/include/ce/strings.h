// String helpers on WCHAR: wcslen-like, _wcsicmp, wcsncmp, wcstok-style, wsprintfW, CompareStringW.
//
// The host C library declares the same names for wchar_t, which is 32-bit on
// Linux. These take WCHAR (char16_t) and are distinct overloads, so a file may
// include both <cwchar> and <windows.h>. The host headers come first so that
// their `using ::wcstol;` into std sees only the host forms (std::stol and
// friends take the address of those).
#pragma once

#include <cstdarg>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>

#include "ce/types.h"
#include "ce/errors.h"

size_t wcslen(const WCHAR* s);
WCHAR* wcscpy(WCHAR* dest, const WCHAR* src);
// Copies at most `count` units and pads with zeros up to `count`; like the C
// function it does not terminate a source that is `count` units or longer.
WCHAR* wcsncpy(WCHAR* dest, const WCHAR* src, size_t count);
WCHAR* wcscat(WCHAR* dest, const WCHAR* src);
WCHAR* wcsncat(WCHAR* dest, const WCHAR* src, size_t count);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
// Case-insensitive over the whole Basic Multilingual Plane (full-width
// letters, accented letters), not just ASCII.
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);
WCHAR* wcschr(WCHAR* s, WCHAR c);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle);
const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle);
size_t wcsspn(const WCHAR* s, const WCHAR* accept);
size_t wcscspn(const WCHAR* s, const WCHAR* reject);
WCHAR* _wcsdup(const WCHAR* s);  // free() the result
WCHAR* _wcsupr(WCHAR* s);
WCHAR* _wcslwr(WCHAR* s);

// The device's two-argument form: the position between calls is kept per
// thread. The three-argument form keeps it in *context instead.
WCHAR* wcstok(WCHAR* s, const WCHAR* delimiters);
WCHAR* wcstok(WCHAR* s, const WCHAR* delimiters, WCHAR** context);
WCHAR* wcstok_s(WCHAR* s, const WCHAR* delimiters, WCHAR** context);

int _wtoi(const WCHAR* s);
long _wtol(const WCHAR* s);
unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base);
long wcstol(const WCHAR* s, WCHAR** end, int base);

WCHAR towupper(WCHAR c);
WCHAR towlower(WCHAR c);
int iswspace(WCHAR c);
int iswdigit(WCHAR c);
int iswalpha(WCHAR c);

// Formats into `out` (no size limit, as on the device: callers size their
// buffers). Conversions: %s (WCHAR string), %hs/%S (char string), %c, %d, %i,
// %u, %x, %X, %p, %%; flags - + 0 space #; width and precision, also as *;
// the l and h size prefixes (long is 32-bit on the device) and I64.
// Returns the number of units written, not counting the terminator.
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);
#define wsprintf wsprintfW
#define wvsprintf wvsprintfW

#define NORM_IGNORECASE 0x00000001u
#define NORM_IGNORENONSPACE 0x00000002u
#define NORM_IGNORESYMBOLS 0x00000004u
#define NORM_IGNOREKANATYPE 0x00010000u
#define NORM_IGNOREWIDTH 0x00020000u
#define SORT_STRINGSORT 0x00001000u
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u

// Compares by code unit (case folded with NORM_IGNORECASE). A count of -1
// means the string is zero-terminated. 0 on failure (ERROR_INVALID_PARAMETER,
// ERROR_INVALID_FLAGS).
int CompareStringW(LCID locale, DWORD flags, LPCWSTR s1, int count1, LPCWSTR s2, int count2);
#define CompareString CompareStringW

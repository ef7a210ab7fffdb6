// String helpers on WCHAR. Case-insensitive forms fold through the kernel's
// BMP-wide table so they agree with how device names compare.
#include "ce/strings.h"

#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <locale.h>

#include <array>

#include "last_error.h"
#include "wstr.h"

namespace {

char16_t LowerOf(char16_t c) { return cedev::LowerCase(c); }

int Sign(int v) { return (v > 0) - (v < 0); }

template <class Fold>
int CompareUnits(const WCHAR* a, const WCHAR* b, size_t count, Fold fold) {
  for (size_t i = 0; i < count; ++i) {
    int ca = fold(a[i]), cb = fold(b[i]);
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

int Same(WCHAR c) { return c; }
int Folded(WCHAR c) { return cedev::FoldCase(c); }

thread_local WCHAR* g_wcstok_next = nullptr;

int DigitValue(WCHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}

// The common part of wcstoul/wcstol: magnitude, sign and where parsing stopped.
struct ParsedNumber {
  unsigned long long magnitude = 0;
  bool negative = false;
  bool overflow = false;
  const WCHAR* end = nullptr;
};

ParsedNumber ParseNumber(const WCHAR* s, int base) {
  ParsedNumber out;
  out.end = s;
  if (!s || base < 0 || base == 1 || base > 36) return out;
  const WCHAR* p = s;
  while (iswspace(*p)) ++p;
  if (*p == u'+' || *p == u'-') out.negative = *p++ == u'-';
  if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2]) < 16) {
    p += 2;
    base = 16;
  } else if (base == 0) {
    base = p[0] == u'0' ? 8 : 10;
  }
  const WCHAR* digits = p;
  for (; DigitValue(*p) < base; ++p) {
    unsigned long long next = out.magnitude * base + DigitValue(*p);
    if (next / base != out.magnitude || next > 0xFFFFFFFFull) out.overflow = true;
    out.magnitude = next & 0xFFFFFFFFull;
  }
  if (p != digits) out.end = p;
  return out;
}

}  // namespace

size_t wcslen(const WCHAR* s) { return cedev::WLen(s); }

WCHAR* wcscpy(WCHAR* dest, const WCHAR* src) {
  WCHAR* d = dest;
  while ((*d++ = *src++) != 0) {
  }
  return dest;
}

WCHAR* wcsncpy(WCHAR* dest, const WCHAR* src, size_t count) {
  size_t i = 0;
  for (; i < count && src[i]; ++i) dest[i] = src[i];
  for (; i < count; ++i) dest[i] = 0;
  return dest;
}

WCHAR* wcscat(WCHAR* dest, const WCHAR* src) {
  wcscpy(dest + wcslen(dest), src);
  return dest;
}

WCHAR* wcsncat(WCHAR* dest, const WCHAR* src, size_t count) {
  WCHAR* d = dest + wcslen(dest);
  size_t i = 0;
  for (; i < count && src[i]; ++i) d[i] = src[i];
  d[i] = 0;
  return dest;
}

int wcscmp(const WCHAR* a, const WCHAR* b) { return Sign(CompareUnits(a, b, SIZE_MAX, Same)); }
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count) { return Sign(CompareUnits(a, b, count, Same)); }
int _wcsicmp(const WCHAR* a, const WCHAR* b) { return Sign(CompareUnits(a, b, SIZE_MAX, Folded)); }
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count) { return Sign(CompareUnits(a, b, count, Folded)); }

const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
  for (;; ++s) {
    if (*s == c) return s;
    if (*s == 0) return nullptr;
  }
}
WCHAR* wcschr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
  const WCHAR* found = nullptr;
  for (;; ++s) {
    if (*s == c) found = s;
    if (*s == 0) return found;
  }
}
WCHAR* wcsrchr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle) {
  size_t n = wcslen(needle);
  if (n == 0) return haystack;
  for (; *haystack; ++haystack) {
    if (*haystack == *needle && wcsncmp(haystack, needle, n) == 0) return haystack;
  }
  return nullptr;
}
WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle) {
  return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(haystack), needle));
}

size_t wcsspn(const WCHAR* s, const WCHAR* accept) {
  size_t n = 0;
  while (s[n] && wcschr(accept, s[n])) ++n;
  return n;
}

size_t wcscspn(const WCHAR* s, const WCHAR* reject) {
  size_t n = 0;
  while (s[n] && !wcschr(reject, s[n])) ++n;
  return n;
}

WCHAR* _wcsdup(const WCHAR* s) {
  if (!s) return nullptr;
  size_t bytes = (wcslen(s) + 1) * sizeof(WCHAR);
  auto* copy = static_cast<WCHAR*>(std::malloc(bytes));
  return copy ? wcscpy(copy, s) : nullptr;
}

WCHAR* _wcsupr(WCHAR* s) {
  for (WCHAR* p = s; *p; ++p) *p = towupper(*p);
  return s;
}

WCHAR* _wcslwr(WCHAR* s) {
  for (WCHAR* p = s; *p; ++p) *p = towlower(*p);
  return s;
}

WCHAR* wcstok(WCHAR* s, const WCHAR* delimiters, WCHAR** context) {
  WCHAR* p = s ? s : *context;
  if (!p) return nullptr;
  p += wcsspn(p, delimiters);
  if (*p == 0) {
    *context = p;
    return nullptr;
  }
  WCHAR* end = p + wcscspn(p, delimiters);
  if (*end) *end++ = 0;
  *context = end;
  return p;
}

WCHAR* wcstok_s(WCHAR* s, const WCHAR* delimiters, WCHAR** context) { return wcstok(s, delimiters, context); }
WCHAR* wcstok(WCHAR* s, const WCHAR* delimiters) { return wcstok(s, delimiters, &g_wcstok_next); }

unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base) {
  ParsedNumber n = ParseNumber(s, base);
  if (end) *end = const_cast<WCHAR*>(n.end);
  if (n.overflow) return 0xFFFFFFFFul;
  auto value = static_cast<uint32_t>(n.magnitude);
  return n.negative ? static_cast<uint32_t>(0u - value) : value;
}

long wcstol(const WCHAR* s, WCHAR** end, int base) {
  ParsedNumber n = ParseNumber(s, base);
  if (end) *end = const_cast<WCHAR*>(n.end);
  if (n.negative) return (n.overflow || n.magnitude > 0x80000000ull) ? INT32_MIN : -static_cast<long>(n.magnitude);
  return (n.overflow || n.magnitude > 0x7FFFFFFFull) ? INT32_MAX : static_cast<long>(n.magnitude);
}

// Like the device's C library: no range check, the value wraps to 32 bits.
long _wtol(const WCHAR* s) {
  if (!s) return 0;
  ParsedNumber n = ParseNumber(s, 10);
  auto value = static_cast<uint32_t>(n.magnitude);
  return static_cast<int32_t>(n.negative ? 0u - value : value);
}
int _wtoi(const WCHAR* s) { return static_cast<int>(_wtol(s)); }

WCHAR towupper(WCHAR c) { return cedev::FoldCase(c); }
WCHAR towlower(WCHAR c) { return LowerOf(c); }
int iswspace(WCHAR c) { return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x3000 || c == 0xA0; }
int iswdigit(WCHAR c) { return c >= u'0' && c <= u'9'; }
int iswalpha(WCHAR c) { return towupper(c) != towlower(c); }

int CompareStringW(LCID, DWORD flags, LPCWSTR s1, int count1, LPCWSTR s2, int count2) {
  constexpr DWORD kKnown = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS | NORM_IGNOREKANATYPE |
                           NORM_IGNOREWIDTH | SORT_STRINGSORT;
  if (!s1 || !s2 || count1 < -1 || count2 < -1) return cedev::Fail(ERROR_INVALID_PARAMETER, 0);
  if (flags & ~kKnown) return cedev::Fail(ERROR_INVALID_FLAGS, 0);
  std::u16string_view a = count1 < 0 ? cedev::WView(s1) : std::u16string_view(s1, count1);
  std::u16string_view b = count2 < 0 ? cedev::WView(s2) : std::u16string_view(s2, count2);
  int order = (flags & NORM_IGNORECASE) ? cedev::CompareNoCase(a, b) : a.compare(b);
  return order < 0 ? CSTR_LESS_THAN : order > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}

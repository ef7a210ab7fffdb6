#include "device_text.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include <array>
#include <cstdint>

#include "archive_format.h"

namespace text {
namespace {

// One unit's mapping through the C.UTF-8 locale, for the whole plane;
// surrogates and units whose mapping leaves the plane map to themselves.
using CaseMap = wint_t (*)(wint_t, locale_t);

struct CaseTable {
  std::array<char16_t, 65536> map;
  explicit CaseTable(CaseMap to_case) {
    locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    for (uint32_t c = 0; c < 65536; ++c) {
      char16_t m = static_cast<char16_t>(c);
      bool surrogate = c >= 0xD800 && c <= 0xDFFF;
      if (!surrogate && loc) {
        wint_t w = to_case(static_cast<wint_t>(c), loc);
        if (w < 0x10000) m = static_cast<char16_t>(w);
      } else if (!surrogate && c < 128) {
        m = static_cast<char16_t>(to_case == towupper_l ? towupper(c) : towlower(c));
      }
      map[c] = m;
    }
    if (loc) freelocale(loc);
  }
};

const std::array<char16_t, 65536>& UpperTable() {
  static const CaseTable* table = new CaseTable(towupper_l);
  return table->map;
}

const std::array<char16_t, 65536>& LowerTable() {
  static const CaseTable* table = new CaseTable(towlower_l);
  return table->map;
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

// One UTF-8 sequence at text[at]: its code point and length, or 0 when the
// bytes there are no valid sequence (bad lead or follower, overlong form,
// surrogate, beyond U+10FFFF, cut short).
size_t DecodeOne(std::string_view text, size_t at, uint32_t* cp) {
  auto b = static_cast<unsigned char>(text[at]);
  size_t extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 4;
  if (extra == 4 || at + extra >= text.size()) return 0;
  uint32_t value = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k <= extra; ++k) {
    auto c = static_cast<unsigned char>(text[at + k]);
    if ((c & 0xC0) != 0x80) return 0;
    value = (value << 6) | (c & 0x3F);
  }
  static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (value < kMin[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return extra + 1;
}

bool GlobFolded(std::u16string_view p, std::u16string_view n) {
  // Iterative glob with one backtrack point, linear in practice.
  size_t pi = 0, ni = 0, star = std::u16string_view::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == u'*') {
      star = pi++;
      mark = ni;
    } else if (star != std::u16string_view::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

bool HasDotInLastPart(std::u16string_view name) {
  size_t last = name.find_last_of(u'\\');
  std::u16string_view part = last == std::u16string_view::npos ? name : name.substr(last + 1);
  return part.find(u'.') != std::u16string_view::npos;
}

bool IsForbidden(char16_t c) {
  return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'\\' || c == u'/';
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHigh(text[i]) || IsLow(text[i])) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    size_t length = DecodeOne(text, i, &cp);
    AppendUtf16(out, length ? cp : 0xFFFD);
    i += length ? length : 1;
  }
  return out;
}

bool FromUtf8Exact(std::string_view text, std::u16string* out) {
  out->clear();
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    size_t length = DecodeOne(text, i, &cp);
    if (!length) return false;
    AppendUtf16(*out, cp);
    i += length;
  }
  return true;
}

bool IsExactText(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      ++i;
    } else if (IsHigh(text[i]) || IsLow(text[i])) {
      return false;
    }
  }
  return true;
}

char16_t FoldCase(char16_t c) { return UpperTable()[c]; }
char16_t LowerCase(char16_t c) { return LowerTable()[c]; }

std::u16string Fold(std::u16string_view text) {
  const auto& t = UpperTable();
  std::u16string out(text);
  for (auto& c : out) c = t[c];
  return out;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  const auto& t = UpperTable();
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && t[a[i]] != t[b[i]]) return false;
  return true;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  const auto& t = UpperTable();
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t x = t[a[i]], y = t[b[i]];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool MatchesFoldedPattern(std::u16string_view p, std::u16string_view n) {
  if (GlobFolded(p, n)) return true;
  return p.size() >= 2 && p.substr(p.size() - 2) == u".*" && !HasDotInLastPart(n) &&
         GlobFolded(p.substr(0, p.size() - 2), n);
}

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name) {
  return MatchesFoldedPattern(Fold(pattern), Fold(name));
}

bool IsNameComponent(std::u16string_view name, bool wildcards) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name) {
    if (IsForbidden(c)) return false;
    if ((c == u'*' || c == u'?') && !wildcards) return false;
  }
  return true;
}

bool IsPlainEntryName(std::u16string_view name) {
  return name.size() <= archive::kMaxPathUnits && IsNameComponent(name, false);
}

size_t Length(const char16_t* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace text

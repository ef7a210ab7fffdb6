#include "wstr.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include <array>

namespace cedev {
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

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t len;
    if (b < 0x80) { cp = b; len = 1; }
    else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; len = 2; }
    else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; len = 3; }
    else if ((b & 0xF8) == 0xF0) { cp = b & 0x07; len = 4; }
    else { out += u'\uFFFD'; ++i; continue; }
    if (i + len > text.size()) { out += u'\uFFFD'; break; }
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      auto cb = static_cast<unsigned char>(text[i + k]);
      if ((cb & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (cb & 0x3F);
    }
    if (!ok) { out += u'\uFFFD'; ++i; continue; }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
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

size_t WLen(const char16_t* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace cedev

#include "presentation.h"

#include <ctime>

#include "text.h"
#include "wide_text.h"

namespace tlvarc {

bool WildcardMatch(std::u16string_view pattern, std::u16string_view text) {
  // Iterative match with one backtrack point: linear for any pattern.
  size_t p = 0, t = 0, star = std::u16string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || WideFoldCase(pattern[p]) == WideFoldCase(text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      mark = t;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

PathFilter::PathFilter(const std::vector<std::string>& patterns) {
  for (const std::string& p : patterns) {
    std::u16string pattern = U16(p);
    for (char16_t& c : pattern)
      if (c == u'/') c = u'\\';
    while (pattern.size() > 1 && pattern.back() == u'\\') pattern.pop_back();
    patterns_.push_back(pattern);
  }
}

bool PathFilter::Selects(const std::u16string& path) const {
  if (patterns_.empty()) return true;
  for (const std::u16string& pattern : patterns_) {
    if (WildcardMatch(pattern, path)) return true;
    // Below a selected container: some ancestor path matches.
    for (size_t cut = path.find(u'\\', 1); cut != std::u16string::npos; cut = path.find(u'\\', cut + 1))
      if (WildcardMatch(pattern, std::u16string_view(path).substr(0, cut))) return true;
    if (path.size() > 1 && path[0] == u'\\' && pattern == u"\\") return true;
  }
  return false;
}

std::string AttributeLetters(DWORD a) {
  const struct {
    DWORD bit;
    char letter;
  } kBits[] = {{0x01, 'R'}, {0x02, 'H'}, {0x04, 'S'}, {0x10, 'D'}, {0x20, 'A'}, {0x40, 'O'}, {0x100, 'T'}, {0x800, 'C'}};
  std::string out;
  for (const auto& b : kBits) out += (a & b.bit) ? b.letter : '-';
  return out;
}

uint64_t FileTimeValue(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

FILETIME FileTimeFrom(uint64_t value) { return FILETIME{DWORD(value), DWORD(value >> 32)}; }

std::string LocalTime(const FILETIME& time) {
  constexpr uint64_t kTicksPerSecond = 10000000;
  constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
  int64_t seconds = int64_t(FileTimeValue(time) / kTicksPerSecond) - kUnixEpochSeconds;
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  char text[32];
  if (!localtime_r(&t, &parts) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts)) return "?";
  return text;
}

std::string RegTypeName(DWORD type) {
  static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST"};
  if (type < sizeof kNames / sizeof kNames[0]) return kNames[type];
  return "type " + std::to_string(type);
}

}  // namespace tlvarc

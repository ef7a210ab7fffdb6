#include "presentation.h"

#include <ctime>

#include "device_text.h"
#include "text.h"

namespace tlvarc {

PathFilter::PathFilter(const std::vector<std::string>& patterns) {
  for (const std::string& p : patterns) {
    std::u16string pattern = U16(p);
    for (char16_t& c : pattern)
      if (c == u'/') c = u'\\';
    while (pattern.size() > 1 && pattern.back() == u'\\') pattern.pop_back();
    patterns_.push_back(text::Fold(pattern));
  }
}

bool PathFilter::Selects(const std::u16string& path) const {
  if (patterns_.empty()) return true;
  std::u16string folded = text::Fold(path);
  for (const std::u16string& pattern : patterns_) {
    if (text::MatchesFoldedPattern(pattern, folded)) return true;
    // Below a selected container: some ancestor path matches.
    for (size_t cut = folded.find(u'\\', 1); cut != std::u16string::npos; cut = folded.find(u'\\', cut + 1))
      if (text::MatchesFoldedPattern(pattern, std::u16string_view(folded).substr(0, cut))) return true;
    if (path.size() > 1 && path[0] == u'\\' && pattern == u"\\") return true;
  }
  return false;
}

std::string AttributeLetters(uint32_t a) {
  const struct {
    uint32_t bit;
    char letter;
  } kBits[] = {{0x01, 'R'}, {0x02, 'H'}, {0x04, 'S'}, {0x10, 'D'}, {0x20, 'A'}, {0x40, 'O'}, {0x100, 'T'}, {0x800, 'C'}};
  std::string out;
  for (const auto& b : kBits) out += (a & b.bit) ? b.letter : '-';
  return out;
}

std::string LocalTime(const archive::FileTime& time) {
  std::time_t t = static_cast<std::time_t>(archive::ToUnixTime(time.Ticks()).seconds);
  std::tm parts{};
  char text[32];
  if (!localtime_r(&t, &parts) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts)) return "?";
  return text;
}

std::string RegTypeName(uint32_t type) {
  static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST"};
  if (type < sizeof kNames / sizeof kNames[0]) return kNames[type];
  return "type " + std::to_string(type);
}

}  // namespace tlvarc

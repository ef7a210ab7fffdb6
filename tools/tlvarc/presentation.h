// How entries are shown to a user: device paths with wildcards, attributes
// as letters, file times in local time, registry types by name.
#pragma once

#include <string>
#include <vector>

#include "ce/types.h"

namespace tlvarc {

// CE wildcard match (* and ?), without regard to case.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view text);

// The patterns of a command line; an empty set selects everything. A
// pattern selects a path it matches and everything below it.
class PathFilter {
 public:
  explicit PathFilter(const std::vector<std::string>& patterns);
  bool Empty() const { return patterns_.empty(); }
  bool Selects(const std::u16string& path) const;

 private:
  std::vector<std::u16string> patterns_;
};

std::string AttributeLetters(DWORD attributes);
// "2026-12-07 13:14:45" in the host's local time.
std::string LocalTime(const FILETIME& time);
uint64_t FileTimeValue(const FILETIME& time);
FILETIME FileTimeFrom(uint64_t value);
std::string RegTypeName(DWORD type);

}  // namespace tlvarc

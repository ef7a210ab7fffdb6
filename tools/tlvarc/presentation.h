// How entries are shown to a user: device paths with wildcards, attributes
// as letters, file times in local time, registry types by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_time.h"

namespace tlvarc {

// The patterns of a command line; an empty set selects everything. A
// pattern selects a path it matches and everything below it.
class PathFilter {
 public:
  explicit PathFilter(const std::vector<std::string>& patterns);
  bool Empty() const { return patterns_.empty(); }
  bool Selects(const std::u16string& path) const;

 private:
  std::vector<std::u16string> patterns_;  // folded
};

std::string AttributeLetters(uint32_t attributes);
// "2026-12-07 13:14:45" in the host's local time.
std::string LocalTime(const archive::FileTime& time);
std::string RegTypeName(uint32_t type);

}  // namespace tlvarc

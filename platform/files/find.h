// Folder enumeration: the entries of one folder matching a pattern, with
// their attributes and times, in the device's stable order (by name, without
// regard to case). A folder's metadata rows come in one query.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device_folder.h"
#include "device_path.h"
#include "file_meta.h"
#include "device_text.h"

namespace cedev {

struct FoundEntry {
  std::string name;  // host name (UTF-8); converted when reported
  EntryInfo info;
};

// What a program sees of one existing entry: its row or host values, and
// the marks of a volume or mounted folder.
EntryInfo DescribeEntry(Device& device, const HostPath& where);

// `*` matches any run of units, `?` exactly one; a pattern ending in ".*"
// also matches names without a dot ("*.*" matches everything). Case is ignored.
using text::MatchesPattern;

// Lists the entries of the existing folder `folder` whose names match
// `pattern`, sorted. The device root also shows each storage volume.
std::vector<FoundEntry> ListFolder(Device& device, const HostPath& folder, std::u16string_view pattern);

}  // namespace cedev

// Small helpers of the file commands over the device's file API: paths,
// folders, attribute letters and the one way errors name a device path.
#pragma once

#include <string>
#include <string_view>
#include <windows.h>

namespace cedev::tool {

// "\My Documents\a.txt: ERROR_ACCESS_DENIED (5)", from the last error.
std::string DeviceError(const std::u16string& path);

bool HasWildcard(const std::u16string& path);
bool IsFolder(const std::u16string& path);
// `folder` + "\" + `name`, without doubling the separator.
std::u16string Child(const std::u16string& folder, std::u16string_view name);
// The folder that holds `path` ("\" for an entry of the root).
std::u16string ParentOf(const std::u16string& path);
// The last component of `path`.
std::u16string LeafOf(const std::u16string& path);

// "dr-hsaRt": directory, read-only, hidden, system, archive, ROM, temporary.
std::string AttributeText(DWORD attributes);

// Makes `folder` and every missing folder above it, as `mkdir -p` does; a
// folder that exists already is fine. On failure `failed` is the folder
// that could not be made and the last error says why.
bool MakeFolders(const std::u16string& folder, std::u16string* failed);

}  // namespace cedev::tool

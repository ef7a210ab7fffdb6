#include "file_helpers.h"

#include "command.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::string DeviceError(const std::u16string& path) { return ToUtf8(path) + ": " + ErrorText(GetLastError()); }

bool HasWildcard(const std::u16string& path) { return path.find_first_of(u"*?") != std::u16string::npos; }

bool IsFolder(const std::u16string& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string Child(const std::u16string& folder, std::u16string_view name) {
  std::u16string out = folder;
  if (out.empty() || !IsSeparator(out.back())) out += u'\\';
  return out + std::u16string(name);
}

std::u16string ParentOf(const std::u16string& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  size_t cut = path.find_last_of(u"\\/", end == 0 ? 0 : end - 1);
  if (cut == std::u16string::npos || cut == 0) return u"\\";
  return path.substr(0, cut);
}

std::u16string LeafOf(const std::u16string& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  size_t cut = path.find_last_of(u"\\/", end == 0 ? 0 : end - 1);
  size_t start = cut == std::u16string::npos ? 0 : cut + 1;
  return path.substr(start, end - start);
}

std::string AttributeText(DWORD a) {
  const std::pair<DWORD, char> bits[] = {{FILE_ATTRIBUTE_DIRECTORY, 'd'}, {FILE_ATTRIBUTE_READONLY, 'r'},
                                         {FILE_ATTRIBUTE_HIDDEN, 'h'},    {FILE_ATTRIBUTE_SYSTEM, 's'},
                                         {FILE_ATTRIBUTE_ARCHIVE, 'a'},   {FILE_ATTRIBUTE_INROM, 'R'},
                                         {FILE_ATTRIBUTE_TEMPORARY, 't'}};
  std::string text;
  for (auto [bit, letter] : bits) text += (a & bit) ? letter : '-';
  return text;
}

bool MakeFolders(const std::u16string& folder, std::u16string* failed) {
  std::u16string made;
  size_t start = 0;
  while (start <= folder.size()) {
    size_t end = folder.find_first_of(u"\\/", start);
    if (end == std::u16string::npos) end = folder.size();
    std::u16string_view part(folder.data() + start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    made = Child(made, part);
    if (IsFolder(made)) continue;
    // The device's own rules decide: a file in the way, "..", ROM, quotas.
    if (!CreateDirectoryW(made.c_str(), nullptr)) {
      *failed = made;
      return false;
    }
  }
  return true;
}

}  // namespace cedev::tool

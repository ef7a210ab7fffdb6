#include "node_rules.h"

#include "archive_format.h"
#include "device_text.h"

namespace archive {
namespace {

// Which record may stand inside which container: the nesting the device
// writes, and the only one for which device paths mean anything.
bool MayHold(int32_t parent, int32_t child) {
  switch (parent) {
    case kNodeRoot: return child == kNodeDirectory || child == kNodeRegRoot || child == kNodeDbFolder;
    case kNodeDirectory: return child == kNodeDirectory || child == kNodeFile;
    case kNodeRegRoot:
    case kNodeRegKey: return child == kNodeRegKey || child == kNodeRegValue;
    case kNodeDbFolder: return child == kNodeDatabase;
    default: return false;
  }
}

bool Holds(std::u16string_view name, char16_t unit) { return name.find(unit) != std::u16string_view::npos; }

Result CheckEntryName(int32_t type, std::u16string_view name) {
  if (name.empty()) return Found(Problem::kEmptyName, type);
  if (name == u"." || name == u"..") return Found(Problem::kNotAFileName, type);
  if (Holds(name, u'\\') || Holds(name, u'/')) return Found(Problem::kSeparatorInName, type);
  if (name.size() > kMaxPathUnits) return Found(Problem::kNameTooLong, type, uint32_t(name.size()));
  if (!text::IsPlainEntryName(name)) return Found(Problem::kForbiddenInName, type);
  return Ok();
}

Result CheckRegistryName(int32_t type, std::u16string_view name) {
  if (type == kNodeRegKey) {
    if (name.empty()) return Found(Problem::kEmptyName, type);
    if (Holds(name, u'\\')) return Found(Problem::kSeparatorInName, type);
  }
  if (Holds(name, 0)) return Found(Problem::kZeroInName, type);
  if (name.size() > kMaxRegistryNameUnits) return Found(Problem::kNameTooLong, type, uint32_t(name.size()));
  return Ok();
}

}  // namespace

const char16_t* const kRegistryRootNames[kRegistryRootCount] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",
                                                                u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};

int RegistryRootIndex(std::u16string_view name) {
  for (int i = 0; i < kRegistryRootCount; ++i)
    if (text::EqualNoCase(name, kRegistryRootNames[i])) return i;
  return -1;
}

bool IsKnownNodeType(uint32_t type) {
  switch (int32_t(type)) {
    case kNodeRoot: case kNodeDirectory: case kNodeFile: case kNodeRegRoot: case kNodeRegKey:
    case kNodeRegValue: case kNodeDbFolder: case kNodeDatabase:
      return true;
    default:
      return false;
  }
}

bool IsContainerType(int32_t type) {
  return type == kNodeRoot || type == kNodeDirectory || type == kNodeRegRoot || type == kNodeRegKey ||
         type == kNodeDbFolder;
}

Result CheckFirstRecord(uint32_t type) {
  return int32_t(type) == kNodeRoot ? Ok() : Found(Problem::kNotRoot, kNodeRoot, type);
}

Result CheckPlacement(int32_t parentType, uint32_t type, int depth) {
  if (!IsKnownNodeType(type)) return Found(Problem::kUnknownType, parentType, type);
  if (!MayHold(parentType, int32_t(type))) return Found(Problem::kMisplaced, int32_t(type), uint32_t(parentType));
  if (depth > kMaxDepth) return Found(Problem::kTooDeep, int32_t(type), uint32_t(depth));
  return Ok();
}

Result CheckName(int32_t parentType, int32_t type, std::u16string_view name) {
  switch (type) {
    case kNodeDirectory:
      if (parentType == kNodeRoot) return name == u"\\" ? Ok() : Found(Problem::kTopFolderName, type);
      return CheckEntryName(type, name);
    case kNodeFile:
      return CheckEntryName(type, name);
    case kNodeRegRoot:
      return RegistryRootIndex(name) >= 0 ? Ok() : Found(Problem::kNotRegistryRoot, type);
    case kNodeRegKey:
    case kNodeRegValue:
      return CheckRegistryName(type, name);
    case kNodeDatabase:
      if (name.empty()) return Found(Problem::kEmptyName, type);
      if (Holds(name, 0)) return Found(Problem::kZeroInName, type);
      if (name.size() > kMaxDatabaseNameUnits) return Found(Problem::kNameTooLong, type, uint32_t(name.size()));
      return Ok();
    default:  // the root and the database folder: their names are not looked at
      return Ok();
  }
}

Result CheckClassName(std::u16string_view name) {
  if (Holds(name, 0)) return Found(Problem::kZeroInName, kNodeRegKey);
  if (name.size() > kMaxRegistryNameUnits) return Found(Problem::kNameTooLong, kNodeRegKey, uint32_t(name.size()));
  return Ok();
}

Result CheckPathLength(int32_t type, size_t units) {
  return units > kMaxPathUnits ? Found(Problem::kPathTooLong, type, uint32_t(units)) : Ok();
}

}  // namespace archive

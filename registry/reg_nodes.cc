#include "reg_nodes.h"

#include <cstring>
#include <new>

#include <windows.h>
#include "job_status.h"
#include "node_records.h"
#include "node_rules.h"
#include "path_list.h"
#include "records.h"
#include "wide_text.h"

using archive::kNodeRegKey;
using archive::kNodeRegRoot;
using archive::kNodeRegValue;

namespace {

constexpr DWORD kNameUnits = 260;  // registry names are at most 259 units
const WCHAR kCalibrationData[] = TEXT("CalibrationData");
const WCHAR kPlatform[] = TEXT("Platform");
const WCHAR kTempSuffix[] = TEXT(".temp");

BOOL IsRegistryContainer(MBackupNode* node) {
  return node && (node->GetType() == kNodeRegRoot || node->GetType() == kNodeRegKey);
}

HKEY ParentHandle(MNamedNode* parent) {
  return IsRegistryContainer(parent) ? static_cast<MRegKeyNode*>(parent)->Handle() : nullptr;
}

// HKEY_LOCAL_MACHINE\Platform names the device: a backup leaves it out and
// a restore never deletes it, but restores it like any key an archive holds.
BOOL IsPlatformKey(HKEY parentKey, LPCWSTR name) {
  return parentKey == HKEY_LOCAL_MACHINE && WideEqualNoCase(name, kPlatform);
}

BOOL Fail(DWORD status) {
  SetJobError(status);
  return FALSE;
}

// A value whose second query fails is still archived in these cases: their
// data is known to be readable only through the first query on some devices.
BOOL SecondQueryMayFail(LPCWSTR name, DWORD type, const BYTE* data, DWORD length) {
  if (type != REG_SZ) return FALSE;
  if (WideEqualNoCase(name, TEXT("Default"))) return length >= 1 && data[0] == 0x5C;
  return WideEqualNoCase(name, TEXT("Display")) || WideEqualNoCase(name, TEXT("Dlt")) ||
         WideEqualNoCase(name, TEXT("Std"));
}

// A class name read from the archive, or null (the key is then invalid)
// when it cannot be read or the format refuses it.
LPWSTR ReadClassName(MArchiveStream* stream) {
  DWORD length = 0;
  LPWSTR className = ReadString(stream, &length);
  if (className && !archive::CheckClassName(std::u16string_view(className, length)).ok()) {
    FreeString(className);
    return nullptr;
  }
  return className;
}

}  // namespace

HKEY RegistryRootHandle(LPCWSTR rootName) {
  // In the order of the archive's root names.
  static const HKEY kHandles[archive::kRegistryRootCount] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                                              HKEY_USERS};
  if (!rootName) return nullptr;
  int index = archive::RegistryRootIndex(rootName);
  return index < 0 ? nullptr : kHandles[index];
}

// ---- MRegValueNode

MRegValueNode::MRegValueNode(MNamedNode* parent, LPCWSTR valueName) : MNamedNode(kNodeRegValue), key(nullptr) {
  InitFromValues(parent, valueName);
  BindParentKey(parent);
}

MRegValueNode::MRegValueNode(MNamedNode* parent, MArchiveStream* stream) : MNamedNode(kNodeRegValue), key(nullptr) {
  InitFromArchive(parent, stream);
  BindParentKey(parent);
}

void MRegValueNode::BindParentKey(MNamedNode* parent) { key = ParentHandle(parent); }

BOOL MRegValueNode::AcceptsParent(MBackupNode* parent) { return parent->GetType() == kNodeRegKey; }

BOOL MRegValueNode::Save(MArchiveStream* stream) {
  if (!MNamedNode::Save(stream)) return FALSE;
  DWORD type = REG_NONE, length = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &length) != ERROR_SUCCESS)
    return Fail(STATUS_SOURCE_READ_FAILED);
  DWORD capacity = length;
  BYTE* data = new (std::nothrow) BYTE[capacity ? capacity : 1]();
  if (!data) return Fail(STATUS_NO_MEMORY);
  LONG result = RegQueryValueExW(key, name, nullptr, &type, data, &length);
  // In the accepted cases the record holds what the buffer holds; a length
  // beyond the buffer is cut so the record's length and bytes agree.
  if (length > capacity) length = capacity;
  BOOL ok = result == ERROR_SUCCESS || SecondQueryMayFail(name, type, data, length);
  if (!ok) SetJobError(STATUS_SOURCE_READ_FAILED);
  if (ok) ok = FormatResult(archive::WriteValueHeader(stream, {type, length})) && WriteBytes(stream, data, LONG(length));
  delete[] data;
  return ok;
}

BOOL MRegValueNode::SameAsDevice(DWORD valueType, const BYTE* data, DWORD length) {
  DWORD type = REG_NONE, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return FALSE;
  if (type != valueType || size != length) return FALSE;
  BYTE* current = new (std::nothrow) BYTE[size ? size : 1];
  if (!current) return FALSE;
  BOOL same = RegQueryValueExW(key, name, nullptr, &type, current, &size) == ERROR_SUCCESS && type == valueType &&
              size == length && std::memcmp(current, data, length) == 0;
  delete[] current;
  return same;
}

// Writes the value; if the registry refuses it, the data is left under
// "name.temp" so it is not lost, and the restore stops.
BOOL MRegValueNode::WriteToDevice(DWORD valueType, const BYTE* data, DWORD length) {
  if (RegSetValueExW(key, name, 0, valueType, data, length) == ERROR_SUCCESS) return TRUE;
  DWORD units = WideLength(name) + WideLength(kTempSuffix) + 1;
  LPWSTR tempName = new (std::nothrow) WCHAR[units];
  if (tempName) {
    WideFormat1(tempName, units, TEXT("%s.temp"), name);
    RegSetValueExW(key, tempName, 0, valueType, data, length);
    delete[] tempName;
  }
  return Fail(STATUS_DEVICE_WRITE_FAILED);
}

BOOL MRegValueNode::Restore(MArchiveStream* stream) {
  archive::ValueHeader header;
  if (!FormatResult(archive::ReadValueHeader(stream, &header))) return FALSE;
  // The format keeps a value's length to what the registry holds.
  BYTE* data = new (std::nothrow) BYTE[header.length ? header.length : 1];
  if (!data) return Fail(STATUS_NO_MEMORY);
  BOOL ok = ReadBytes(stream, data, LONG(header.length));
  if (ok) ok = SameAsDevice(header.type, data, header.length) || WriteToDevice(header.type, data, header.length);
  delete[] data;
  return ok;
}

// ---- MRegKeyNode

MRegKeyNode::MRegKeyNode(LONG nodeType)
    : MContainerNode(nodeType), key(nullptr), ownsKey(FALSE), className(nullptr), restoredKeys(nullptr),
      restoredValues(nullptr) {}

MRegKeyNode::MRegKeyNode(MNamedNode* parent, LPCWSTR keyName, LPCWSTR keyClass) : MRegKeyNode(kNodeRegKey) {
  InitFromValues(parent, keyName);
  className = DuplicateString(keyClass ? keyClass : TEXT(""));
  HKEY parentKey = ParentHandle(parent);
  if (!parentKey || !name || IsPlatformKey(parentKey, name)) return;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(parentKey, name, 0, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS) {
    key = opened;
    ownsKey = TRUE;
  }
}

MRegKeyNode::MRegKeyNode(MNamedNode* parent, MArchiveStream* stream) : MRegKeyNode(kNodeRegKey) {
  InitFromArchive(parent, stream);
  if (!name) return;
  className = ReadClassName(stream);
  HKEY parentKey = ParentHandle(parent);
  if (!parentKey || !className) return;
  HKEY created = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(parentKey, name, 0, className, 0, 0, nullptr, &created, &disposition) == ERROR_SUCCESS) {
    key = created;
    ownsKey = TRUE;
  }
}

MRegKeyNode::~MRegKeyNode() {
  ClearChildren();  // values borrow this handle
  if (ownsKey && key) RegCloseKey(key);
  FreeString(className);
  delete restoredKeys;
  delete restoredValues;
}

BOOL MRegKeyNode::IsValid() { return name && className && key; }

BOOL MRegKeyNode::AcceptsParent(MBackupNode* parent) { return parent->GetType() == kNodeRegKey; }

BOOL MRegKeyNode::Save(MArchiveStream* stream) {
  return MNamedNode::Save(stream) && WriteString(stream, className) && SaveChildren(stream);
}

BOOL MRegKeyNode::AddOrDrop(MNamedNode* child) {
  if (child && child->IsValid() && AddChild(child)) return TRUE;
  delete child;
  return Fail(STATUS_NO_MEMORY);
}

BOOL MRegKeyNode::CollectValues() {
  WCHAR valueName[kNameUnits];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameUnits;
    LONG result = RegEnumValueW(key, index, valueName, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return TRUE;
    if (result != ERROR_SUCCESS) return Fail(STATUS_SOURCE_READ_FAILED);
    if (WideEqualNoCase(valueName, kCalibrationData)) continue;
    if (!AddOrDrop(new (std::nothrow) MRegValueNode(this, valueName))) return FALSE;
  }
}

BOOL MRegKeyNode::CollectSubkeys() {
  WCHAR keyName[kNameUnits], keyClass[kNameUnits];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameUnits, classLength = kNameUnits;
    keyClass[0] = 0;
    LONG result = RegEnumKeyExW(key, index, keyName, &length, nullptr, keyClass, &classLength, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return TRUE;
    if (result != ERROR_SUCCESS) return Fail(STATUS_SOURCE_READ_FAILED);
    if (IsPlatformKey(key, keyName)) continue;
    if (!AddOrDrop(new (std::nothrow) MRegKeyNode(this, keyName, keyClass))) return FALSE;
  }
}

BOOL MRegKeyNode::CollectChildren() { return CollectValues() && CollectSubkeys(); }

void MRegKeyNode::NoteChild(MBackupNode* child) {
  MPathList** list = child->GetType() == kNodeRegKey     ? &restoredKeys
                     : child->GetType() == kNodeRegValue ? &restoredValues
                                                         : nullptr;
  if (!list) return;
  if (!*list) *list = new (std::nothrow) MPathList();
  if (*list) (*list)->Append(static_cast<MNamedNode*>(child)->GetName());
}

// Names are gathered first and deleted afterwards, so the enumeration is
// not disturbed by its own deletions.
void MRegKeyNode::PruneSubkeys() {
  MPathList* doomed = new (std::nothrow) MPathList();
  if (!doomed) return;
  WCHAR keyName[kNameUnits];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameUnits;
    if (RegEnumKeyExW(key, index, keyName, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (IsPlatformKey(key, keyName)) continue;
    if (!restoredKeys || !restoredKeys->Contains(keyName)) doomed->Append(keyName);
  }
  for (MPathListItem* item = doomed->Head(); item; item = item->next)
    if (item->text) RegDeleteKeyW(key, item->text);
  delete doomed;
}

void MRegKeyNode::PruneValues() {
  MPathList* doomed = new (std::nothrow) MPathList();
  if (!doomed) return;
  WCHAR valueName[kNameUnits];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameUnits, type = 0;
    if (RegEnumValueW(key, index, valueName, &length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (WideEqualNoCase(valueName, kCalibrationData)) continue;
    if (!restoredValues || !restoredValues->Contains(valueName)) doomed->Append(valueName);
  }
  for (MPathListItem* item = doomed->Head(); item; item = item->next)
    if (item->text) RegDeleteValueW(key, item->text);
  delete doomed;
}

BOOL MRegKeyNode::Restore(MArchiveStream* stream) {
  if (!RestoreChildren(stream)) return FALSE;
  if (key) {
    PruneSubkeys();
    PruneValues();
  }
  return TRUE;
}

// ---- MRegRootKeyNode

MRegRootKeyNode::MRegRootKeyNode(MNamedNode* parent, LPCWSTR rootName) : MRegKeyNode(kNodeRegRoot) {
  InitFromValues(parent, rootName);
  className = DuplicateString(TEXT(""));
  BindRoot();
}

MRegRootKeyNode::MRegRootKeyNode(MNamedNode* parent, MArchiveStream* stream) : MRegKeyNode(kNodeRegRoot) {
  InitFromArchive(parent, stream);
  if (name) className = ReadClassName(stream);
  BindRoot();
}

void MRegRootKeyNode::BindRoot() {
  key = RegistryRootHandle(name);
  ownsKey = FALSE;
}

// ---- Registration

namespace {

MBackupNode* ValueFromArchive(MNamedNode* parent, MArchiveStream* stream) {
  return new (std::nothrow) MRegValueNode(parent, stream);
}
MBackupNode* KeyFromArchive(MNamedNode* parent, MArchiveStream* stream) {
  return new (std::nothrow) MRegKeyNode(parent, stream);
}
MBackupNode* RootFromArchive(MNamedNode* parent, MArchiveStream* stream) {
  return new (std::nothrow) MRegRootKeyNode(parent, stream);
}
MNamedNode* RootFromDevice(MNamedNode* parent, LPCWSTR rootName) {
  return new (std::nothrow) MRegRootKeyNode(parent, rootName);
}

}  // namespace

void InitRegistryNodes() {
  RegisterNodeClass({kNodeRegRoot, RootFromArchive, RootFromDevice});
  RegisterNodeClass({kNodeRegKey, KeyFromArchive, nullptr});
  RegisterNodeClass({kNodeRegValue, ValueFromArchive, nullptr});
}

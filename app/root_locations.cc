#include "root_locations.h"

#include "wide_text.h"

namespace {

// Names compared exactly: a mounted folder spelt otherwise is an ordinary card.
const WCHAR kNetworkFolder[] = u"ネットワーク";
const WCHAR kReleaseFolder[] = u"Release";

BOOL AppendLocation(void* context, LPCWSTR name) {
  MPathList*& list = *static_cast<MPathList**>(context);
  if (!list) list = new MPathList();
  list->Append(name);
  return TRUE;
}

struct NameSearch {
  LPCWSTR wanted;
  BOOL found;
};

BOOL StopAtName(void* context, LPCWSTR name) {
  NameSearch* search = static_cast<NameSearch*>(context);
  if (WideEqualNoCase(name, search->wanted)) search->found = TRUE;
  return !search->found;
}

}  // namespace

BOOL IsLocationFolder(const WIN32_FIND_DATAW& entry, BOOL acceptTemp) {
  if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
  BOOL candidate = (entry.dwFileAttributes & FILE_ATTRIBUTE_TEMPORARY) ||
                   WideEqualNoCase(entry.cFileName, u"FlashDisk") ||
                   (acceptTemp && WideEqualNoCase(entry.cFileName, u"Temp"));
  if (!candidate) return FALSE;
  return wcscmp(entry.cFileName, kNetworkFolder) != 0 && wcscmp(entry.cFileName, kReleaseFolder) != 0;
}

void ForEachLocationFolder(BOOL acceptTemp, LocationVisitor visit, void* context) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(u"\\*.*", &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (IsLocationFolder(entry, acceptTemp) && !visit(context, entry.cFileName)) break;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

MPathList* CollectBackupLocations() {
  MPathList* list = nullptr;
  ForEachLocationFolder(FALSE, AppendLocation, &list);
  return list;
}

BOOL IsCommandLineLocation(LPCWSTR location) {
  if (!location || !location[0]) return FALSE;
  NameSearch search = {location, FALSE};
  ForEachLocationFolder(TRUE, StopAtName, &search);
  return search.found;
}

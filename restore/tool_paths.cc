#include "tool_paths.h"

#include <windows.h>

namespace {

const WCHAR kStoragePrefix[] = TEXT("FlashDisk");
constexpr size_t kStoragePrefixUnits = 9;
constexpr DWORD kStorageAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;

BOOL IsStorageFolder(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & kStorageAttributes) == kStorageAttributes &&
         wcsncmp(entry.cFileName, kStoragePrefix, kStoragePrefixUnits) == 0;
}

}  // namespace

BOOL FindStorageFolder(LPWSTR name) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(TEXT("\\*.*"), &entry);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  BOOL found = FALSE;
  do {
    if (IsStorageFolder(entry)) {
      wcsncpy(name, entry.cFileName, MAX_PATH - 1);
      name[MAX_PATH - 1] = 0;
      found = TRUE;
    }
  } while (!found && FindNextFileW(find, &entry));
  FindClose(find);
  return found;
}

void FormatArmFolder(LPWSTR path, LPCWSTR storage) { wsprintfW(path, TEXT("\\%s\\CE\\ARM"), storage); }

void FormatArmPath(LPWSTR path, LPCWSTR storage, LPCWSTR file) {
  wsprintfW(path, TEXT("\\%s\\CE\\ARM\\%s"), storage, file);
}

void FormatStorageRootPath(LPWSTR path, LPCWSTR storage, LPCWSTR file) {
  wsprintfW(path, TEXT("\\%s\\%s"), storage, file);
}

BOOL PathFound(LPCWSTR path) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(path, &entry);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(find);
  return TRUE;
}

BOOL EqualIgnoringCase(LPCWSTR a, LPCWSTR b) {
  return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

void CreateFolderChain(LPCWSTR folder) {
  WCHAR prefix[kToolPathUnits];
  for (int i = 0; folder[i] != 0 && i < kToolPathUnits - 1; ++i) {
    if (folder[i] != '\\') continue;
    wcsncpy(prefix, folder, i);
    prefix[i] = 0;
    CreateDirectoryW(prefix, nullptr);
  }
  CreateDirectoryW(folder, nullptr);
}

#include "spfinish.h"

#include <windows.h>

const LPCWSTR kInstallKeys[] = {TEXT("SOFTWARE\\Apps\\Velta TolvaneKit 1.09"), TEXT("")};

namespace {

// Paths are built in buffers of this many units.
constexpr int kPathUnits = 256;
// "CabFile" is read into a buffer of this many bytes; a longer path does not
// fit and leaves the package alone.
constexpr DWORD kPackageValueBytes = 128;

const WCHAR kOldFolder[] = TEXT("\\Temp\\ServicePackOld");
const WCHAR kOwnNewName[] = TEXT("\\Temp\\ServicePackOld\\PatchUnInstall.exe");
const WCHAR kServicePackFolder[] = TEXT("\\Temp\\ServicePack");
const WCHAR kPackageValue[] = TEXT("CabFile");

// Deletes every file of the folder; sub-folders stay (DeleteFileW refuses them).
void EmptyFolder(LPCWSTR folder) {
  WCHAR pattern[kPathUnits];
  wsprintfW(pattern, TEXT("%s\\*.*"), folder);
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(pattern, &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    WCHAR path[kPathUnits];
    wsprintfW(path, TEXT("%s\\%s"), folder, entry.cFileName);
    DeleteFileW(path);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

// Creates the folder and every folder above it; the ones that exist already
// refuse, which is fine.
void CreateFolderChain(LPCWSTR folder) {
  WCHAR prefix[kPathUnits];
  for (int i = 0; folder[i] != 0 && i < kPathUnits - 1; ++i) {
    if (folder[i] != '\\') continue;
    wcsncpy(prefix, folder, i);
    prefix[i] = 0;
    CreateDirectoryW(prefix, nullptr);
  }
  CreateDirectoryW(folder, nullptr);
}

// Removes the folder and then each folder above it; the first one that still
// holds something stays, and so do those above it.
void RemoveFolderChain(LPCWSTR folder) {
  WCHAR path[kPathUnits];
  wcsncpy(path, folder, kPathUnits - 1);
  path[kPathUnits - 1] = 0;
  RemoveDirectoryW(path);
  for (int i = static_cast<int>(wcslen(path)) - 1; i >= 0; --i) {
    if (path[i] != '\\') continue;
    path[i] = 0;
    RemoveDirectoryW(path);
  }
}

void MoveSelfToOldFolder() {
  WCHAR own[MAX_PATH];
  if (GetModuleFileNameW(nullptr, own, MAX_PATH) == 0) return;
  MoveFileW(own, kOwnNewName);
}

HKEY OpenInstallKey() {
  for (int i = 0; kInstallKeys[i][0] != 0; ++i) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallKeys[i], 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) return key;
  }
  return nullptr;
}

// The package path the key names, or FALSE when it cannot be read into the
// 128-byte buffer. The text is terminated here: a value stored without its
// terminator must not run on into whatever follows.
BOOL ReadPackagePath(HKEY key, LPWSTR path) {
  WCHAR value[kPackageValueBytes / sizeof(WCHAR)];
  DWORD bytes = kPackageValueBytes;
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key, kPackageValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS) {
    return FALSE;
  }
  DWORD units = bytes / sizeof(WCHAR);
  DWORD length = 0;
  while (length < units && value[length] != 0) {
    path[length] = value[length];
    ++length;
  }
  path[length] = 0;
  return TRUE;
}

// A read-only package is the user's to keep. A missing one reports all
// attribute bits, the read-only bit among them, so it is not touched either.
void DeletePackageNamedBy(HKEY key) {
  WCHAR path[kPathUnits] = {0};
  if (!ReadPackagePath(key, path) || path[0] == 0) return;
  if ((GetFileAttributesW(path) & FILE_ATTRIBUTE_READONLY) == 0) DeleteFileW(path);
}

}  // namespace

int FinishServicePack() {
  EmptyFolder(kOldFolder);
  CreateFolderChain(kOldFolder);
  MoveSelfToOldFolder();
  RemoveFolderChain(kServicePackFolder);
  HKEY key = OpenInstallKey();
  if (!key) return 0;
  DeletePackageNamedBy(key);
  RegCloseKey(key);
  return 0;
}

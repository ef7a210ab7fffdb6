#include "fixups.h"

#include <windows.h>

#include "device_paths.h"
#include "exclusion_rules.h"
#include "fs_nodes.h"
#include "wide_text.h"

const LPCWSTR kRestartMarkerFiles[3] = {TEXT("\\Restart Synchronization Marker"),
                                        TEXT("\\Restart Synchronization Marker.1"),
                                        TEXT("\\Restart Synchronization Marker.2")};

namespace {

constexpr DWORD kCopyPiece = 1024;
const WCHAR kDesktopIni[] = TEXT("desktop.ini");
const WCHAR kImagerKey[] = TEXT("Drivers\\BuiltIn\\Imager");
const WCHAR kInitKey[] = TEXT("init");

// The Startup folder's path, or an empty text when the device has none.
BOOL GetStartupFolder(LPWSTR buffer) {
  for (DWORD i = 0; i < MAX_PATH; ++i) buffer[i] = 0;
  if (SHGetSpecialFolderPath(nullptr, buffer, CSIDL_STARTUP, FALSE) == TRUE) return TRUE;
  buffer[0] = 0;
  return FALSE;
}

// desktop.ini stays when the Startup folder is emptied (it describes the
// folder, and the restore put it back in place already).
BOOL IsKeptFile(LPCWSTR folder, LPCWSTR startup, LPCWSTR name) {
  DWORD length = WideLength(startup);
  return length != 0 && wcsncmp(folder, startup, length) == 0 && wcscmp(name, kDesktopIni) == 0;
}

BOOL DeleteEvenReadOnly(LPCWSTR path) {
  if (DeleteFileW(path)) return TRUE;
  DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileW(path);
}

BOOL SearchAll(LPCWSTR folder, WIN32_FIND_DATAW* entry, HANDLE* find) {
  WCHAR pattern[MAX_PATH];
  if (!JoinDevicePath(pattern, folder, TEXT("*"))) return FALSE;
  *find = FindFirstFileW(pattern, entry);
  return *find != INVALID_HANDLE_VALUE;
}

BOOL CopyContent(HANDLE from, HANDLE to) {
  BYTE piece[kCopyPiece];
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(from, piece, kCopyPiece, &got, nullptr)) return FALSE;
    if (got == 0) return TRUE;
    if (!WriteFile(to, piece, got, &put, nullptr) || put != got) return FALSE;
  }
}

BOOL CopyTimes(LPCWSTR source, LPCWSTR destination) {
  HANDLE from = CreateFileW(source, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (from == INVALID_HANDLE_VALUE) return FALSE;
  FILETIME creation, lastAccess, lastWrite;
  BOOL ok = GetFileTime(from, &creation, &lastAccess, &lastWrite);
  CloseHandle(from);
  if (!ok) return FALSE;
  HANDLE to = CreateFileW(destination, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (to == INVALID_HANDLE_VALUE) return TRUE;  // the content is there; the times are skipped
  SetFileTime(to, &creation, &lastAccess, &lastWrite);
  CloseHandle(to);
  return TRUE;
}

BOOL SetString(HKEY key, LPCWSTR valueName, LPCWSTR text) {
  DWORD bytes = (WideLength(text) + 1) * sizeof(WCHAR);
  return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS;
}

BOOL SetDword(HKEY key, LPCWSTR valueName, DWORD value) {
  BYTE data[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
  return RegSetValueExW(key, valueName, 0, REG_DWORD, data, sizeof data) == ERROR_SUCCESS;
}

HKEY OpenOrCreate(LPCWSTR path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
      ERROR_SUCCESS)
    return nullptr;
  return key;
}

void CreateMarkerFiles() {
  for (LPCWSTR path : kRestartMarkerFiles) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
}

}  // namespace

BOOL ClearFolder(LPCWSTR folder) {
  if (!folder || !folder[0]) return FALSE;
  WCHAR startup[MAX_PATH];
  GetStartupFolder(startup);
  WIN32_FIND_DATAW entry;
  HANDLE find;
  if (!SearchAll(folder, &entry, &find)) return FALSE;
  BOOL ok = TRUE;
  do {
    if (entry.cFileName[0] == u'.' || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (IsKeptFile(folder, startup, entry.cFileName)) continue;
    WCHAR path[MAX_PATH];
    if (!JoinDevicePath(path, folder, entry.cFileName)) continue;
    if (!DeleteEvenReadOnly(path)) {
      MessageBoxW(nullptr, path, path, MB_OK);
      ok = FALSE;
    }
  } while (ok && FindNextFileW(find, &entry));
  FindClose(find);
  return ok;
}

BOOL CopyFileAndTimes(LPCWSTR source, LPCWSTR destination) {
  HANDLE from = CreateFileW(source, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE to = CreateFileW(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  BOOL ok = from != INVALID_HANDLE_VALUE && to != INVALID_HANDLE_VALUE && CopyContent(from, to);
  if (from != INVALID_HANDLE_VALUE) CloseHandle(from);
  if (to != INVALID_HANDLE_VALUE) {
    CloseHandle(to);
    // Half a file in the Startup folder would start as a broken program.
    if (!ok) DeleteFileW(destination);
  }
  if (!ok || !CopyTimes(source, destination)) return FALSE;
  DWORD attributes = GetFileAttributesW(source);
  return attributes != INVALID_FILE_ATTRIBUTES && SetFileAttributesW(destination, attributes);
}

BOOL CopyFolderEntries(LPCWSTR source, LPCWSTR destination) {
  if (!source || !source[0] || !destination || !destination[0]) return FALSE;
  WIN32_FIND_DATAW entry;
  HANDLE find;
  if (!SearchAll(source, &entry, &find)) return FALSE;
  BOOL allCopied = TRUE;
  do {
    if (entry.cFileName[0] == u'.' || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    WCHAR from[MAX_PATH], to[MAX_PATH];
    if (!JoinDevicePath(from, source, entry.cFileName) || !JoinDevicePath(to, destination, entry.cFileName) ||
        !CopyFileAndTimes(from, to))
      allCopied = FALSE;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return allCopied;
}

void WriteImagerDriverEntries() {
  HKEY imager = OpenOrCreate(kImagerKey);
  if (!imager) return;
  BOOL ok = SetString(imager, TEXT("Prefix"), TEXT("SCN")) && SetString(imager, TEXT("Dll"), TEXT("HHPScanDriver.dll")) &&
            SetDword(imager, TEXT("Order"), 50) && SetDword(imager, TEXT("Index"), 1);
  RegCloseKey(imager);
  if (!ok) return;
  HKEY init = OpenOrCreate(kInitKey);
  if (!init) return;
  const BYTE depend[2] = {0x32, 0x00};
  if (SetString(init, TEXT("Launch80"), TEXT("ModelSetup.exe")))
    RegSetValueExW(init, TEXT("Depend80"), 0, REG_BINARY, depend, sizeof depend);
  RegCloseKey(init);
}

void PreRestoreStep() {
  ClearFolder(STARTUP_STAGING_FOLDER);
  RemoveDirectoryW(STARTUP_STAGING_FOLDER);
}

void PostRestoreStep() {
  WCHAR startup[MAX_PATH];
  if (GetStartupFolder(startup)) {
    ClearFolder(startup);
    // The staged files are the only copy of the Startup folder's files:
    // they leave the staging folder only once all of them are in place.
    if (CopyFolderEntries(STARTUP_STAGING_FOLDER, startup)) ClearFolder(STARTUP_STAGING_FOLDER);
  }
  RemoveDirectoryW(STARTUP_STAGING_FOLDER);
}

void RestoreSuccessSteps() {
  CreateMarkerFiles();
  if (IsTovakPlatform()) WriteImagerDriverEntries();
  RegFlushKey(HKEY_CLASSES_ROOT);
  RegFlushKey(HKEY_CURRENT_USER);
  RegFlushKey(HKEY_LOCAL_MACHINE);
}

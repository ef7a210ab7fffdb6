#include "jobs.h"

#include <cstring>
#include <new>

#include "backup_node.h"
#include <windows.h>
#include "file_stream.h"
#include "header.h"
#include "job_status.h"
#include "little_endian.h"
#include "node_records.h"
#include "password.h"
#include "records.h"
#include "rle_stream.h"
#include "wide_text.h"

using namespace archive;

namespace {

BackupLocationSource g_locationSource = nullptr;

constexpr DWORD kStartDelayMs = 1000;  // let the progress dialog settle first
constexpr DWORD kNameUnits = kPlatformNameBytes / 2;

struct ArchiveNames {
  LPCWSTR temp;
  LPCWSTR final;
};
const ArchiveNames kRegistryArchive = {ARCHIVE_REGISTRY_TEMP, ARCHIVE_REGISTRY_FILE};
const ArchiveNames kDataArchive = {ARCHIVE_DATA_TEMP, ARCHIVE_DATA_FILE};

BOOL GetLocation(LPWSTR location) {
  location[0] = 0;
  return g_locationSource && g_locationSource(location) && location[0] != 0;
}

BOOL Fail(DWORD status) {
  SetJobError(status);
  return FALSE;
}

WCHAR NameUnit(const BYTE* name, DWORD index) { return WCHAR(archive::GetLe16(name + 2 * index)); }

BOOL EnsureArchiveFolder(LPCWSTR location) {
  WCHAR folder[MAX_PATH];
  if (!WideFormat1(folder, MAX_PATH, ARCHIVE_FOLDER_FORMAT, location)) return FALSE;
  if (GetFileAttributesW(folder) != INVALID_FILE_ATTRIBUTES) return TRUE;
  return CreateDirectoryW(folder, nullptr);
}

BOOL WriteHeader(MArchiveStream* stream, const BYTE* passwordBlock) {
  BYTE name[kPlatformNameBytes];
  ReadDevicePlatformName(name);
  return archive::WriteHeader(stream, name, passwordBlock).ok();
}

// Reads and checks the header up to the node stream: version, platform and
// (in the current layout) the password.
BOOL CheckHeader(MArchiveStream* stream, BOOL registryArchive, LPCWSTR password) {
  archive::Header header;
  if (!archive::ReadHeader(stream, &header).ok()) return Fail(STATUS_ARCHIVE_READ_FAILED);
  // Only data archives were ever written in the old layout.
  if (!header.hasPasswordBlock && registryArchive) return Fail(STATUS_ARCHIVE_READ_FAILED);
  if (!PlatformAccepted(header.platformName)) return Fail(STATUS_ARCHIVE_READ_FAILED);
  if (header.hasPasswordBlock && !MPwdAuthentication(header.passwordBlock, password)) return Fail(STATUS_BAD_PASSWORD);
  return TRUE;
}

// Replaces the archive by the freshly written temporary file. The old
// archive goes only once the new one is complete; if the rename fails the
// new one stays under its temporary name and the job reports the failure.
BOOL CommitArchive(LPCWSTR location, const ArchiveNames& names) {
  WCHAR temp[MAX_PATH], final[MAX_PATH];
  if (!WideFormat1(temp, MAX_PATH, names.temp, location) || !WideFormat1(final, MAX_PATH, names.final, location))
    return FALSE;
  DeleteFileW(final);
  return MoveFileW(temp, final);
}

void DiscardTemporary(LPCWSTR location, const ArchiveNames& names) {
  WCHAR temp[MAX_PATH];
  if (WideFormat1(temp, MAX_PATH, names.temp, location)) DeleteFileW(temp);
}

// Opens the temporary file and writes header and node tree into it.
BOOL WriteArchive(LPCWSTR location, const ArchiveNames& names, BOOL registryOnly, const BYTE* passwordBlock) {
  WCHAR temp[MAX_PATH];
  if (!WideFormat1(temp, MAX_PATH, names.temp, location)) return Fail(STATUS_WRITE_FAILED);
  MBufferedFileStream* file = new (std::nothrow) MBufferedFileStream();
  if (!file) return Fail(STATUS_NO_MEMORY);
  if (!file->OpenForWrite(temp)) {
    delete file;
    return Fail(STATUS_WRITE_FAILED);
  }
  BOOL ok = WriteHeader(file, passwordBlock) ? TRUE : Fail(STATUS_WRITE_FAILED);
  if (ok) ok = SaveNodeTree(file, registryOnly);
  if (!file->Close()) ok = Fail(STATUS_WRITE_FAILED);
  delete file;
  return ok;
}

DWORD Backup(const ArchiveNames& names, BOOL registryOnly, const BYTE* passwordBlock) {
  Sleep(kStartDelayMs);
  WCHAR location[MAX_PATH];
  if (!GetLocation(location)) return Fail(STATUS_WRITE_FAILED);
  if (!EnsureArchiveFolder(location)) return Fail(STATUS_WRITE_FAILED);
  if (!WriteArchive(location, names, registryOnly, passwordBlock)) {
    DiscardTemporary(location, names);
    return Fail(STATUS_WRITE_FAILED);
  }
  // A complete archive that could not be renamed stays under its temporary
  // name: it is the only copy of this backup.
  if (!CommitArchive(location, names)) return Fail(STATUS_WRITE_FAILED);
  return 1;
}

DWORD Restore(LPCWSTR archivePattern, BOOL registryArchive, LPCWSTR password) {
  Sleep(kStartDelayMs);
  WCHAR location[MAX_PATH], path[MAX_PATH];
  if (!GetLocation(location)) return Fail(STATUS_ARCHIVE_READ_FAILED);
  if (!WideFormat1(path, MAX_PATH, archivePattern, location)) return Fail(STATUS_ARCHIVE_READ_FAILED);
  MBufferedFileStream* file = new (std::nothrow) MBufferedFileStream();
  if (!file || !file->OpenForRead(path)) {
    delete file;
    return Fail(STATUS_ARCHIVE_READ_FAILED);
  }
  BOOL ok = CheckHeader(file, registryArchive, password ? password : TEXT("")) && RestoreNodeTree(file);
  file->Close();
  delete file;
  return ok ? 1 : 0;
}

}  // namespace

void SetBackupLocationSource(BackupLocationSource source) { g_locationSource = source; }

BOOL ReadDevicePlatformName(BYTE name[kPlatformNameBytes]) {
  std::memset(name, 0, kPlatformNameBytes);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Platform"), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return FALSE;
  DWORD type = REG_NONE, size = kPlatformNameBytes;
  LONG result = RegQueryValueExW(key, TEXT("Name"), nullptr, &type, name, &size);
  RegCloseKey(key);
  // A name that does not fit is treated as no name on both sides, so an
  // archive made here is still accepted here.
  if (result != ERROR_SUCCESS || type != REG_SZ) {
    std::memset(name, 0, kPlatformNameBytes);
    return FALSE;
  }
  name[kPlatformNameBytes - 2] = name[kPlatformNameBytes - 1] = 0;
  return TRUE;
}

BOOL PlatformAccepted(const BYTE archiveName[kPlatformNameBytes]) {
  BYTE device[kPlatformNameBytes];
  if (!ReadDevicePlatformName(device)) return TRUE;
  for (DWORD i = 0; i < kNameUnits; ++i) {
    WCHAR mine = NameUnit(device, i);
    if (NameUnit(archiveName, i) != mine) return FALSE;
    if (mine == 0) return TRUE;
  }
  return TRUE;
}

BOOL SaveNodeTree(MArchiveStream* out, BOOL registryOnly) {
  MRleStream* coded = new (std::nothrow) MRleStream(out);
  if (!coded) return Fail(STATUS_NO_MEMORY);
  MRootNode root(registryOnly);
  BOOL ok = root.IsValid() ? root.Save(coded) && coded->Flush() : Fail(STATUS_NO_MEMORY);
  delete coded;
  return ok;
}

BOOL RestoreNodeTree(MArchiveStream* in) {
  MRleStream* coded = new (std::nothrow) MRleStream(in);
  if (!coded) return Fail(STATUS_NO_MEMORY);
  MBackupNode* root = ReadNode(nullptr, coded);
  BOOL ok = root && root->GetType() == kNodeRoot && root->Restore(coded);
  // The device writes nothing after the root: whatever follows it there
  // makes the archive something the device did not write.
  if (ok) ok = FormatResult(archive::CheckNodeStreamEnd(coded, in));
  if (!ok) SetJobError(STATUS_ARCHIVE_READ_FAILED);
  delete root;
  delete coded;
  return ok;
}

DWORD RunRegistryBackup(const BYTE* passwordBlock) { return Backup(kRegistryArchive, TRUE, passwordBlock); }
DWORD RunDataBackup(const BYTE* passwordBlock) { return Backup(kDataArchive, FALSE, passwordBlock); }
DWORD RunRegistryRestore(LPCWSTR password) { return Restore(ARCHIVE_REGISTRY_FILE, TRUE, password); }
DWORD RunDataRestore(LPCWSTR password) { return Restore(ARCHIVE_DATA_FILE, FALSE, password); }

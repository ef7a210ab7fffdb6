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
// The location of the archive being written or read, empty between jobs.
WCHAR g_archiveLocation[MAX_PATH] = {};

// Marks the location as the running job's for as long as it lives: the
// backup's walk leaves its archives out, the restore's mirror pass keeps them.
class MArchiveLocation {
 public:
  explicit MArchiveLocation(LPCWSTR location) {
    if (!WideCopy(g_archiveLocation, MAX_PATH, location)) g_archiveLocation[0] = 0;
  }
  ~MArchiveLocation() { g_archiveLocation[0] = 0; }
};

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

// The device's platform name whole, however long: HKEY_LOCAL_MACHINE\Platform
// "Name" when it is text.
class MPlatformName {
 public:
  MPlatformName() : bytes(nullptr), size(0) {}
  ~MPlatformName() { delete[] bytes; }
  MPlatformName(const MPlatformName&) = delete;
  MPlatformName& operator=(const MPlatformName&) = delete;

  // FALSE when the device has no name (no key, no value, not REG_SZ).
  BOOL Read() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Platform"), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return FALSE;
    DWORD type = REG_NONE, needed = 0;
    BOOL ok = RegQueryValueExW(key, TEXT("Name"), nullptr, &type, nullptr, &needed) == ERROR_SUCCESS && type == REG_SZ;
    if (ok) {
      bytes = new (std::nothrow) BYTE[needed ? needed : 1];
      size = needed;
      ok = bytes && RegQueryValueExW(key, TEXT("Name"), nullptr, &type, bytes, &size) == ERROR_SUCCESS &&
           type == REG_SZ && size <= needed;
    }
    RegCloseKey(key);
    return ok;
  }
  // Unit `index` of the name; a name stored without its terminator ends
  // where its data ends.
  WCHAR Unit(DWORD index) const { return 2 * index + 1 < size ? NameUnit(bytes, index) : 0; }

 private:
  BYTE* bytes;
  DWORD size;
};

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

// A device whose file system does not offer the one-step replacement at
// all says so with one of these; any other failure is about the files.
BOOL ReplacementRefused(DWORD error) { return error == ERROR_NOT_SUPPORTED || error == ERROR_CALL_NOT_IMPLEMENTED; }

// Puts the complete temporary file in the place of the archive. An old
// archive is replaced in one step, so whatever stops the job (a kill, a
// power cut) leaves either the old archive or the new one; only where the
// device refuses that call does the old archive go first. If the new one
// cannot take its place it stays under its temporary name, beside the old
// one, and the job reports the failure.
BOOL CommitArchive(LPCWSTR location, const ArchiveNames& names) {
  WCHAR temp[MAX_PATH], final[MAX_PATH];
  if (!WideFormat1(temp, MAX_PATH, names.temp, location) || !WideFormat1(final, MAX_PATH, names.final, location))
    return FALSE;
  if (GetFileAttributesW(final) == INVALID_FILE_ATTRIBUTES) return MoveFileW(temp, final);
  if (DeleteAndRenameFile(final, temp)) return TRUE;
  if (!ReplacementRefused(GetLastError())) return FALSE;
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
  MArchiveLocation writing(location);
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
  MArchiveLocation reading(location);
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

LPCWSTR BackupArchiveLocation() { return g_archiveLocation; }

BOOL ReadDevicePlatformName(BYTE name[kPlatformNameBytes]) {
  std::memset(name, 0, kPlatformNameBytes);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Platform"), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return FALSE;
  DWORD type = REG_NONE, size = kPlatformNameBytes;
  LONG result = RegQueryValueExW(key, TEXT("Name"), nullptr, &type, name, &size);
  RegCloseKey(key);
  // A name longer than the field is not written at all: no archive can
  // carry it, and the platform check refuses every archive on such a device.
  if (result != ERROR_SUCCESS || type != REG_SZ) {
    std::memset(name, 0, kPlatformNameBytes);
    return FALSE;
  }
  name[kPlatformNameBytes - 2] = name[kPlatformNameBytes - 1] = 0;
  return TRUE;
}

BOOL PlatformAccepted(const BYTE archiveName[kPlatformNameBytes]) {
  MPlatformName device;
  if (!device.Read()) return TRUE;
  // Unit by unit up to and including the device's terminator, which must
  // fall inside the archive's field: a longer name can never match.
  for (DWORD i = 0; i < kNameUnits; ++i) {
    WCHAR mine = device.Unit(i);
    if (NameUnit(archiveName, i) != mine) return FALSE;
    if (mine == 0) return TRUE;
  }
  return FALSE;
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
  BOOL ok = root && root->GetType() == kNodeRoot;
  if (ok) {
    NoteRestoreEnteredTree();
    ok = root->Restore(coded);
  }
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

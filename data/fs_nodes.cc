#include "fs_nodes.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "device_paths.h"
#include "exclusion_rules.h"
#include "file_stream.h"
#include "job_status.h"
#include "node_records.h"
#include "notice.h"
#include "path_list.h"
#include "records.h"
#include "wide_text.h"

using archive::kNodeDirectory;
using archive::kNodeFile;

// The device's path buffers hold the longest path the format allows.
static_assert(archive::kMaxPathUnits == MAX_PATH - 1);

namespace {

// Bytes moved per step of a copy loop, with a cancel poll before each.
constexpr LONG kBackupPiece = 1024;
constexpr LONG kRestorePiece = 10240;
const WCHAR kAllEntries[] = TEXT("*.*");
const WCHAR kDesktopIni[] = TEXT("\\desktop.ini");
const WCHAR kOpenForReadCaption[] = TEXT("File.OpenForRead");

// One job runs at a time, so the copy loops share their buffer.
BYTE g_copyBuffer[kBackupPiece > kRestorePiece ? kBackupPiece : kRestorePiece];

BOOL Fail(DWORD status) {
  SetJobError(status);
  return FALSE;
}

BOOL IsFileSystemNode(MBackupNode* node) {
  return node && (node->GetType() == kNodeDirectory || node->GetType() == kNodeFile);
}

archive::FileTime ArchiveTime(const FILETIME& t) { return {t.dwLowDateTime, t.dwHighDateTime}; }
FILETIME DeviceTime(const archive::FileTime& t) { return {t.low, t.high}; }

// The device's Startup folder, or FALSE when it has none.
BOOL GetStartupFolder(LPWSTR buffer) {
  for (DWORD i = 0; i < MAX_PATH / 2; ++i) buffer[i] = 0;
  return SHGetSpecialFolderPath(nullptr, buffer, CSIDL_STARTUP, FALSE) == TRUE;
}

// Replaces every occurrence of `from` in `path` by `to`; FALSE when the
// result would not fit a path buffer.
BOOL ReplaceAll(LPWSTR path, LPCWSTR from, LPCWSTR to) {
  WCHAR result[MAX_PATH];
  DWORD fromLength = WideLength(from), toLength = WideLength(to), out = 0;
  if (fromLength == 0) return TRUE;
  for (DWORD i = 0; path[i];) {
    if (wcsncmp(path + i, from, fromLength) == 0) {
      if (out + toLength >= MAX_PATH) return FALSE;
      for (DWORD j = 0; j < toLength; ++j) result[out++] = to[j];
      i += fromLength;
    } else {
      if (out + 1 >= MAX_PATH) return FALSE;
      result[out++] = path[i++];
    }
  }
  result[out] = 0;
  return WideCopy(path, MAX_PATH, result);
}

// Files of the Startup folder (but its own desktop.ini) are held in the
// staging folder until the restore has ended. FALSE when the staged path
// does not fit.
BOOL RedirectStartupFile(LPWSTR target) {
  WCHAR startup[MAX_PATH];
  if (!GetStartupFolder(startup)) return TRUE;
  CreateDirectoryW(STARTUP_STAGING_FOLDER, nullptr);
  DWORD length = WideLength(startup);
  if (length == 0 || wcsncmp(target, startup, length) != 0) return TRUE;
  if (wcscmp(target + length, kDesktopIni) == 0) return TRUE;
  return ReplaceAll(target, startup, STARTUP_STAGING_FOLDER);
}

// Creates or truncates a restore target; an entry that refuses is deleted
// and tried once more.
BOOL OpenRestoreTarget(MFileStream* file, LPCWSTR path) {
  if (file->OpenForWrite(path)) return TRUE;
  DeleteFileW(path);
  return file->OpenForWrite(path);
}

// Moves `size` content bytes from the archive into `file` (or drops them
// when the file is not open).
BOOL CopyFromArchive(MArchiveStream* stream, MFileStream* file, DWORD size) {
  BOOL ok = TRUE;
  for (DWORD offset = 0; ok && offset < size;) {
    BOOL cancelled = CancelCheckpoint();
    if (cancelled) ok = FALSE;
    LONG piece = size - offset < DWORD(kRestorePiece) ? LONG(size - offset) : kRestorePiece;
    std::memset(g_copyBuffer, 0, sizeof g_copyBuffer);
    if (!ReadBytes(stream, g_copyBuffer, piece)) return FALSE;
    offset += DWORD(piece);
    if (cancelled || !file->IsOpen()) continue;
    LONG put = 0;
    if (!file->Write(g_copyBuffer, piece, &put) || put != piece) ok = Fail(STATUS_DEVICE_WRITE_FAILED);
  }
  return ok;
}

// Copies `size` bytes of the open file into the archive.
BOOL CopyToArchive(MFileStream* file, MArchiveStream* stream, DWORD size) {
  for (DWORD offset = 0; offset < size;) {
    if (CancelCheckpoint()) return FALSE;
    LONG piece = size - offset < DWORD(kBackupPiece) ? LONG(size - offset) : kBackupPiece;
    LONG done = 0;
    if (!file->Read(g_copyBuffer, piece, &done) || done != piece) return Fail(STATUS_SOURCE_READ_FAILED);
    if (!stream->Write(g_copyBuffer, piece, &done) || done != piece) return Fail(STATUS_WRITE_FAILED);
    offset += DWORD(piece);
  }
  return TRUE;
}

// A path the device cannot take (over 259 units): the backup cannot be
// complete, so it stops and names what was left out.
BOOL FailPathTooLong(const MNamedNode* node) {
  SetJobError(STATUS_SOURCE_READ_FAILED);
  constexpr DWORD kShownUnits = 4 * MAX_PATH;
  LPWSTR shown = new (std::nothrow) WCHAR[kShownUnits];
  BOOL whole = shown && node->GetFullPath(shown, kShownUnits);
  ShowNotice(nullptr, whole ? shown : node->GetName());
  delete[] shown;
  return FALSE;
}

struct MExtraEntryContext {
  LPCWSTR folder;
};

// Whether a node read from an archive lies in a folder the restore reads past.
BOOL InFolderReadPast(const MNamedNode* parent) {
  return parent && parent->GetType() == kNodeDirectory && static_cast<const MDirectoryNode*>(parent)->ReadsPast();
}

}  // namespace

archive::FileFields FileFieldsOf(const WIN32_FIND_DATAW& found) {
  archive::FileFields fields;
  fields.attributes = found.dwFileAttributes;
  fields.creation = ArchiveTime(found.ftCreationTime);
  fields.access = ArchiveTime(found.ftLastAccessTime);
  fields.write = ArchiveTime(found.ftLastWriteTime);
  fields.size = found.nFileSizeLow;
  return fields;
}

// ---- DeleteTree, DeleteExtraEntry

void DeleteTree(LPCWSTR folderPath) {
  WCHAR pattern[MAX_PATH];
  if (!JoinDevicePath(pattern, folderPath, kAllEntries)) return;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(pattern, &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    WCHAR path[MAX_PATH];
    if (!JoinDevicePath(path, folderPath, entry.cFileName)) continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
      SetFileAttributesW(path, entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      LPWSTR copy = DuplicateString(path);
      if (!copy) continue;
      DeleteTree(copy);
      RemoveDirectoryW(copy);
      FreeString(copy);
    } else {
      DeleteFileW(path);
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

BOOL DeleteExtraEntry(void* context, LPCWSTR name) {
  const MExtraEntryContext* extra = static_cast<const MExtraEntryContext*>(context);
  WCHAR path[MAX_PATH];
  if (!JoinDevicePath(path, extra->folder, name)) return TRUE;
  // A failed lookup counts as a folder: the tree delete then simply finds nothing.
  DWORD attributes = GetFileAttributesW(path);
  // A file goes with a plain delete, so one the user marked read-only (or
  // one in use) stays; only a whole folder the archive lacks goes with
  // everything in it.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    DeleteTree(path);
    RemoveDirectoryW(path);
  } else {
    DeleteFileW(path);
  }
  return TRUE;
}

// ---- MDirectoryNode

MDirectoryNode::MDirectoryNode(MNamedNode* parent, LPCWSTR folderName)
    : MContainerNode(kNodeDirectory), restoredNames(nullptr), readPast(FALSE) {
  InitFromValues(parent, folderName);
}

MDirectoryNode::MDirectoryNode(MNamedNode* parent, MArchiveStream* stream)
    : MContainerNode(kNodeDirectory), restoredNames(nullptr), readPast(FALSE) {
  InitFromArchive(parent, stream);
}

MDirectoryNode::~MDirectoryNode() { delete restoredNames; }

BOOL MDirectoryNode::AcceptsParent(MBackupNode* parentNode) {
  return parentNode && parentNode->GetType() == kNodeDirectory;
}

BOOL MDirectoryNode::CollectChildren() {
  ClearChildren();
  WCHAR folder[MAX_PATH], pattern[MAX_PATH];
  if (!GetFullPath(folder, MAX_PATH) || !JoinDevicePath(pattern, folder, kAllEntries)) return FailPathTooLong(this);
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(pattern, &entry);
  if (find == INVALID_HANDLE_VALUE) return TRUE;
  BOOL ok = TRUE;
  do {
    WCHAR entryPath[MAX_PATH];
    if (!JoinDevicePath(entryPath, folder, entry.cFileName)) entryPath[0] = 0;
    if (!IsEntrySaved(pattern, entryPath, entry.cFileName, entry.dwFileAttributes)) continue;
    MNamedNode* child = nullptr;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      child = new (std::nothrow) MDirectoryNode(this, entry.cFileName);
    else
      child = new (std::nothrow) MFileNode(this, entry.cFileName);
    if (!child || !child->IsValid() || !AddChild(child)) {
      delete child;
      ok = Fail(STATUS_NO_MEMORY);
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return ok;
}

void MDirectoryNode::NoteChild(MBackupNode* child) {
  if (!IsFileSystemNode(child)) return;
  if (!restoredNames) restoredNames = new (std::nothrow) MPathList();
  if (restoredNames) restoredNames->Append(static_cast<MNamedNode*>(child)->GetName());
}

// Makes sure a folder stands at `path`; a file in its place gives way.
BOOL MDirectoryNode::EnsureFolder(LPCWSTR path) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return TRUE;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path);
  }
  return CreateDirectoryW(path, nullptr) ? TRUE : Fail(STATUS_DEVICE_WRITE_FAILED);
}

void MDirectoryNode::DeleteExtraEntries(LPCWSTR path) {
  MPathList* extras = new (std::nothrow) MPathList();
  if (!extras) return;
  WCHAR pattern[MAX_PATH];
  WIN32_FIND_DATAW entry;
  HANDLE find = JoinDevicePath(pattern, path, kAllEntries) ? FindFirstFileW(pattern, &entry) : INVALID_HANDLE_VALUE;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (IsMountedAttributes(entry.dwFileAttributes) || IsInRom(entry.dwFileAttributes)) continue;
      // The archives of a location in the object store never travel in an
      // archive; a restore from there must not delete the new archive a
      // failed replacement left beside the one being read.
      if (IsOwnArchiveFile(pattern, entry.cFileName)) continue;
      if (!restoredNames || !restoredNames->Contains(entry.cFileName)) extras->Append(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  MExtraEntryContext context = {path};
  extras->ForEach(DeleteExtraEntry, &context);
  delete extras;
}

BOOL MDirectoryNode::ReadsPast() const { return readPast; }

// Mounted storage of this device, and everything an archive holds below it,
// is read past: a backup here would never have written it (the archive came
// from a device where the name was a plain folder, or was made by hand), and
// restoring it would write into a memory card or FlashDisk and then delete
// whatever the card holds beside it. The records are still read, so the
// archive stays in step and the restore goes on.
BOOL MDirectoryNode::IsReadPast(LPCWSTR path) const { return InFolderReadPast(parent) || IsMountedStorage(path); }

BOOL MDirectoryNode::Restore(MArchiveStream* stream) {
  WCHAR path[MAX_PATH];
  if (!GetFullPath(path, MAX_PATH)) return Fail(STATUS_ARCHIVE_READ_FAILED);
  readPast = IsReadPast(path);
  if (readPast) return RestoreChildren(stream);
  if (!EnsureFolder(path)) return FALSE;
  if (!RestoreChildren(stream)) return FALSE;
  DeleteExtraEntries(path);
  return TRUE;
}

// ---- MFileNode

MFileNode::MFileNode(MNamedNode* parent, LPCWSTR fileName) : MNamedNode(kNodeFile) { InitFromValues(parent, fileName); }

MFileNode::MFileNode(MNamedNode* parent, MArchiveStream* stream) : MNamedNode(kNodeFile) {
  InitFromArchive(parent, stream);
}

BOOL MFileNode::AcceptsParent(MBackupNode* parentNode) { return parentNode && parentNode->GetType() == kNodeDirectory; }

BOOL MFileNode::Save(MArchiveStream* stream) {
  if (!MNamedNode::Save(stream)) return FALSE;
  WCHAR path[MAX_PATH];
  if (!GetFullPath(path, MAX_PATH)) return FailPathTooLong(this);
  WIN32_FIND_DATAW found;
  HANDLE lookup = FindFirstFileW(path, &found);
  if (lookup == INVALID_HANDLE_VALUE) {
    SetJobError(STATUS_SOURCE_READ_FAILED);
    MessageBoxW(nullptr, path, nullptr, MB_OK);
    return FALSE;
  }
  FindClose(lookup);
  // The record holds 32 bits of size: a file of 4 GiB or more cannot be
  // carried whole, and a cut copy must not pass for a backup.
  if (found.nFileSizeHigh != 0) {
    SetJobError(STATUS_SOURCE_READ_FAILED);
    MessageBoxW(nullptr, path, nullptr, MB_OK);
    return FALSE;
  }
  archive::FileFields record = FileFieldsOf(found);
  if (!FormatResult(archive::WriteFileFields(stream, record))) return FALSE;
  MFileStream file;
  if (!file.OpenForRead(path)) {
    ShowNotice(kOpenForReadCaption, path);
    return Fail(STATUS_SOURCE_READ_FAILED);
  }
  BOOL ok = CopyToArchive(&file, stream, record.size);
  file.Close();
  return ok;
}

BOOL MFileNode::Restore(MArchiveStream* stream) {
  WCHAR target[MAX_PATH];
  if (!GetFullPath(target, MAX_PATH)) return Fail(STATUS_ARCHIVE_READ_FAILED);
  archive::FileFields record;
  if (!FormatResult(archive::ReadFileFields(stream, &record))) return FALSE;
  MFileStream file;
  if (!InFolderReadPast(parent) && RedirectStartupFile(target)) {
    if (SetFileAttributesW(target, record.attributes)) SetFileAttributesW(target, 0);
    OpenRestoreTarget(&file, target);
  }
  BOOL ok = CopyFromArchive(stream, &file, record.size);
  if (!file.IsOpen()) return ok;
  FILETIME creation = DeviceTime(record.creation), access = DeviceTime(record.access), write = DeviceTime(record.write);
  file.SetTimes(&creation, &access, &write);
  file.Close();
  if (ok) {
    SetFileAttributesW(target, record.attributes);
  } else {
    // A read-only partial file could not be deleted: it stays writable.
    SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(target);
  }
  return ok;
}

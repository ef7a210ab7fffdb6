// The path side of the file API: attributes, folders, deleting, moving,
// copying and free space.
#include <cerrno>
#include <vector>

#include "ce/file.h"
#include "ce/handle.h"
#include "clock.h"
#include "device_folder.h"
#include "device_path.h"
#include "faults.h"
#include "file_meta.h"
#include "find.h"
#include "held_files.h"
#include "host_files.h"
#include "last_error.h"
#include "share_lock.h"
#include "space.h"
#include "wstr.h"

namespace cedev {
namespace {


// Resolves a path that must name an existing entry.
DWORD ResolveExisting(Device& device, LPCWSTR path, HostPath* where) {
  if (DWORD err = ResolveDevicePath(device, WView(path), where)) return err;
  return where->exists ? 0 : ERROR_FILE_NOT_FOUND;
}

// 0 when neither the system nor a handle of any device program has the
// file open.
DWORD CheckFileNotOpen(Device& device, const HostPath& where) {
  if (DWORD err = CheckNotHeldBySystem(device, where)) return err;
  host::Fd fd;
  if (int error = host::Open(where.host, host::OpenHow{}, &fd)) return Win32FromErrno(error);
  return CheckNotInUse(device.RunDir().string(), fd);
}

std::u16string LastComponent(const std::u16string& device_path) {
  size_t slash = device_path.rfind(u'\\');
  return slash == std::u16string::npos ? device_path : device_path.substr(slash + 1);
}

// The destination of a move as given, for a rename that only changes case.
void UseGivenName(HostPath* dst) {
  std::string name = ToUtf8(LastComponent(dst->device));
  dst->host = dst->host.substr(0, dst->host.rfind('/') + 1) + name;
  dst->key = dst->parent_key + "/" + name;
  dst->exists = false;
}

BOOL MoveEntry(Device& device, const HostPath& src, HostPath dst) {
  if (dst.exists) {
    if (dst.host != src.host) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    UseGivenName(&dst);
  }
  bool crosses = src.SpaceKey() != dst.SpaceKey();
  uint64_t bytes = crosses ? host::FileBytesUnder(src.host) : 0;
  if (crosses && bytes > SpaceAllowance(device, dst)) return Fail(ERROR_DISK_FULL, FALSE);
  if (int error = host::Rename(src.host, dst.host)) {
    return Fail(error == EINVAL ? ERROR_ACCESS_DENIED : Win32FromErrno(error), FALSE);
  }
  NoteOwnChangeIn(src);
  NoteOwnChangeIn(dst);
  if (src.IsDir()) ForgetVerifiedFolders();
  MoveMetaTree(device.Db(), src.key, dst.key);
  if (crosses) {
    AdjustSpaceUsed(device, src, -static_cast<int64_t>(bytes));
    AdjustSpaceUsed(device, dst, static_cast<int64_t>(bytes));
  }
  return TRUE;
}

// Checks both ends of DeleteAndRenameFile before anything changes: two
// distinct files of one space, a destination that may be deleted and a
// source that may be renamed, neither open anywhere.
DWORD CheckReplacement(Device& device, const HostPath& dst, const HostPath& src) {
  for (const HostPath* end : {&dst, &src}) {
    if (end->IsFixedFolder() || !end->st.IsFile()) return ERROR_ACCESS_DENIED;
  }
  if (dst.host == src.host) return ERROR_ACCESS_DENIED;  // replacing a file by itself would lose it
  if (dst.SpaceKey() != src.SpaceKey()) return ERROR_NOT_SAME_DEVICE;
  if (DescribeEntry(device, dst).attributes & (FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  if (DescribeEntry(device, src).attributes & FILE_ATTRIBUTE_INROM) return ERROR_ACCESS_DENIED;
  // Its own fault, then those of the deletion and the rename it stands for.
  if (DWORD err = InjectedFault("file.replace", dst.device)) return err;
  if (DWORD err = InjectedFault("file.delete", dst.device)) return err;
  if (DWORD err = InjectedFault("file.delete", src.device)) return err;
  if (DWORD err = CheckFileNotOpen(device, dst)) return err;
  return CheckFileNotOpen(device, src);
}

// One host rename over the destination: at every moment the destination
// holds either its old content or the new one. The metadata rows follow in
// the same transaction, which is dropped when the host refuses.
BOOL ReplaceFile(Device& device, const HostPath& dst, const HostPath& src) {
  SqlTxn txn(device.Db());
  if (!MoveMetaTree(device.Db(), src.key, dst.key)) return Fail(ERROR_GEN_FAILURE, FALSE);
  if (int error = host::Rename(src.host, dst.host)) return Fail(Win32FromErrno(error), FALSE);
  AdjustSpaceUsed(device, dst, -static_cast<int64_t>(dst.st.size));
  // Should the rows not commit, the file is in place all the same and the
  // row it keeps gives way to the host's values.
  txn.Commit();
  NoteOwnChangeIn(src);
  NoteOwnChangeIn(dst);
  return TRUE;
}

// Restores the last error of the failure after cleanup calls have run.
class KeepError {
 public:
  KeepError() : error_(GetLastError()) {}
  ~KeepError() { SetLastError(error_); }

 private:
  DWORD error_;
};

BOOL CopyContent(HANDLE from, HANDLE to) {
  std::vector<char> buffer(64 * 1024);
  while (true) {
    DWORD got = 0, put = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return FALSE;
    if (got == 0) return TRUE;
    if (!WriteFile(to, buffer.data(), got, &put, nullptr)) return FALSE;
  }
}

}  // namespace
}  // namespace cedev

using cedev::Device;
using cedev::Fail;
using cedev::HostPath;

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
  if (!lpFileName) return Fail(ERROR_INVALID_PARAMETER, INVALID_FILE_ATTRIBUTES);
  Device* device = Device::Current();
  if (!device) return INVALID_FILE_ATTRIBUTES;
  HostPath where;
  if (DWORD err = cedev::ResolveExisting(*device, lpFileName, &where)) return Fail(err, INVALID_FILE_ATTRIBUTES);
  if (cedev::InjectedFault("file.vanish", where.device)) return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
  return cedev::DescribeEntry(*device, where).attributes;
}

BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
  if (!lpFileName) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  Device* device = Device::Current();
  if (!device) return FALSE;
  HostPath where;
  if (DWORD err = cedev::ResolveExisting(*device, lpFileName, &where)) return Fail(err, FALSE);
  if (where.IsFixedFolder() || where.mounted) return Fail(ERROR_ACCESS_DENIED, FALSE);
  cedev::SqlTxn txn(device->Db());  // the times kept are those of the row replaced
  cedev::EntryInfo info = cedev::DescribeEntry(*device, where);
  if (info.attributes & FILE_ATTRIBUTE_INROM) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD attributes = dwFileAttributes & cedev::kSettableAttributes;
  if (where.IsDir()) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  cedev::FileMeta row = cedev::RowFor(where.st, attributes, info.creation, info.last_access);
  if (!cedev::SaveMeta(device->Db(), where.key, row) || !txn.Commit()) return Fail(ERROR_GEN_FAILURE, FALSE);
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  if (!lpPathName) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  Device* device = Device::Current();
  if (!device) return FALSE;
  HostPath where;
  if (DWORD err = cedev::ResolveDevicePath(*device, cedev::WView(lpPathName), &where)) return Fail(err, FALSE);
  if (where.exists) return Fail(ERROR_ALREADY_EXISTS, FALSE);
  if (DWORD err = cedev::InjectedFault("file.create", where.device)) return Fail(err, FALSE);
  if (int error = cedev::host::MakeFolder(where.host)) return Fail(cedev::Win32FromErrno(error), FALSE);
  cedev::NoteOwnChangeIn(where);
  cedev::host::EntryStatus st;
  if (cedev::host::StatusOf(where.host, &st) == 0) {
    int64_t now = st.last_write + cedev::DeviceClockOffset();
    cedev::SaveMeta(device->Db(), where.key, cedev::RowFor(st, FILE_ATTRIBUTE_DIRECTORY, now, now));
  }
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR lpPathName) {
  if (!lpPathName) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  Device* device = Device::Current();
  if (!device) return FALSE;
  HostPath where;
  if (DWORD err = cedev::ResolveExisting(*device, lpPathName, &where)) return Fail(err, FALSE);
  if (where.IsFixedFolder() || where.mounted) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (!where.IsDir()) return Fail(ERROR_DIRECTORY, FALSE);
  if (cedev::DescribeEntry(*device, where).attributes & FILE_ATTRIBUTE_INROM) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (DWORD err = cedev::InjectedFault("file.delete", where.device)) return Fail(err, FALSE);
  if (int error = cedev::host::RemoveFolder(where.host)) {
    return Fail(error == ENOTEMPTY || error == EEXIST ? ERROR_DIR_NOT_EMPTY : cedev::Win32FromErrno(error), FALSE);
  }
  cedev::ForgetVerifiedFolders();
  cedev::NoteOwnChangeIn(where);
  cedev::DeleteMetaTree(device->Db(), where.key);
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
  if (!lpFileName) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  Device* device = Device::Current();
  if (!device) return FALSE;
  HostPath where;
  if (DWORD err = cedev::ResolveExisting(*device, lpFileName, &where)) return Fail(err, FALSE);
  if (where.IsFixedFolder() || where.IsDir()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DWORD attributes = cedev::DescribeEntry(*device, where).attributes;
  if (attributes & (FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_READONLY)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (DWORD err = cedev::InjectedFault("file.delete", where.device)) return Fail(err, FALSE);
  if (DWORD err = cedev::CheckFileNotOpen(*device, where)) return Fail(err, FALSE);
  if (int error = cedev::host::RemoveFile(where.host)) return Fail(cedev::Win32FromErrno(error), FALSE);
  cedev::NoteOwnChangeIn(where);
  cedev::DeleteMetaTree(device->Db(), where.key);
  if (where.st.IsFile()) cedev::AdjustSpaceUsed(*device, where, -static_cast<int64_t>(where.st.size));
  return TRUE;
}

BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
  if (!lpExistingFileName || !lpNewFileName) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  Device* device = Device::Current();
  if (!device) return FALSE;
  HostPath src, dst;
  if (DWORD err = cedev::ResolveExisting(*device, lpExistingFileName, &src)) return Fail(err, FALSE);
  if (DWORD err = cedev::ResolveDevicePath(*device, cedev::WView(lpNewFileName), &dst)) return Fail(err, FALSE);
  if (src.IsFixedFolder() || src.mounted || dst.IsFixedFolder()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (cedev::DescribeEntry(*device, src).attributes & FILE_ATTRIBUTE_INROM) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (DWORD err = cedev::InjectedFault("file.delete", src.device)) return Fail(err, FALSE);
  if (!src.IsDir()) {
    if (DWORD err = cedev::CheckFileNotOpen(*device, src)) return Fail(err, FALSE);
  }
  return cedev::MoveEntry(*device, src, std::move(dst));
}

BOOL DeleteAndRenameFile(LPCWSTR lpszNewFile, LPCWSTR lpszOldFile) {
  if (!lpszNewFile || !lpszOldFile) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  Device* device = Device::Current();
  if (!device) return FALSE;
  HostPath dst, src;
  if (DWORD err = cedev::ResolveExisting(*device, lpszNewFile, &dst)) return Fail(err, FALSE);
  if (DWORD err = cedev::ResolveExisting(*device, lpszOldFile, &src)) return Fail(err, FALSE);
  if (DWORD err = cedev::CheckReplacement(*device, dst, src)) return Fail(err, FALSE);
  return cedev::ReplaceFile(*device, dst, src);
}

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
  if (!lpExistingFileName || !lpNewFileName) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  DWORD attributes = GetFileAttributesW(lpExistingFileName);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  HANDLE from = CreateFileW(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (from == INVALID_HANDLE_VALUE) return FALSE;
  FILETIME last_write{};
  GetFileTime(from, nullptr, nullptr, &last_write);
  // A copy of a ROM file is an ordinary file.
  DWORD copy_attributes = attributes & cedev::kSettableAttributes;
  HANDLE to = CreateFileW(lpNewFileName, GENERIC_WRITE, 0, nullptr, bFailIfExists ? CREATE_NEW : CREATE_ALWAYS,
                          copy_attributes, nullptr);
  if (to == INVALID_HANDLE_VALUE) {
    cedev::KeepError keep;
    CloseHandle(from);
    return FALSE;
  }
  bool ok = cedev::CopyContent(from, to) && SetFileTime(to, nullptr, nullptr, &last_write);
  if (!ok) {
    cedev::KeepError keep;
    CloseHandle(from);
    CloseHandle(to);
    // Nothing half-copied stays behind; a read-only copy must lose the mark first.
    SetFileAttributesW(lpNewFileName, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(lpNewFileName);
    return FALSE;
  }
  CloseHandle(from);
  CloseHandle(to);
  SetLastError(NO_ERROR);
  return TRUE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  Device* device = Device::Current();
  if (!device) return FALSE;
  HostPath where;
  std::u16string_view path = lpDirectoryName ? cedev::WView(lpDirectoryName) : std::u16string_view(u"\\");
  if (DWORD err = cedev::ResolveDevicePath(*device, path, &where)) return Fail(err, FALSE);
  if (!where.exists) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
  uint64_t total = 0, free = 0;
  cedev::SpaceFigures figures = cedev::FiguresOf(*device, where);
  if (figures.limited) {
    total = figures.total;
    free = figures.Free();
  } else {
    if (int error = cedev::host::FileSystemSpace(where.root, &total, &free)) {
      return Fail(cedev::Win32FromErrno(error), FALSE);
    }
  }
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = free;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = total;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = free;
  return TRUE;
}

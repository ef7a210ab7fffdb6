// The handle side of the file API: opening and creating files, reading,
// writing, positions, sizes and times.
#include <cerrno>

#include "ce/file.h"
#include "device_folder.h"
#include "device_path.h"
#include "faults.h"
#include "file_meta.h"
#include "file_object.h"
#include "find.h"
#include "held_files.h"
#include "handles.h"
#include "host_files.h"
#include "last_error.h"
#include "share_lock.h"
#include "space.h"
#include "wstr.h"

namespace cedev {
namespace {


bool WantsWrite(DWORD access) { return access & (GENERIC_WRITE | GENERIC_ALL); }

// Refuses opens the file's attributes forbid: ROM files never change, and a
// read-only file cannot be opened for writing or replaced.
DWORD CheckOpenAllowed(Device& device, const HostPath& where, DWORD access, DWORD disposition) {
  bool replaces = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  if (!WantsWrite(access) && !replaces) return 0;  // reading is allowed whatever the attributes
  DWORD attributes = DescribeEntry(device, where).attributes;
  if (attributes & (FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  return 0;
}

// The fault that applies to this open, if any.
DWORD OpenFault(const HostPath& where, bool creating) {
  if (where.exists) {
    if (InjectedFault("file.vanish", where.device)) return ERROR_FILE_NOT_FOUND;
    if (DWORD err = InjectedFault("file.open", where.device)) return err;
  }
  if (creating) return InjectedFault("file.create", where.device);
  return 0;
}

// A test's stand-in for another program that changed the file after the
// caller looked it up and before this open: the file is cut or grown to the
// fault's size.
void ApplyResizeFault(HostPath* where) {
  DWORD size = 0;
  if (!TakeFault("file.resize", where->device, &size)) return;
  host::Fd fd;
  host::OpenHow how;
  how.write = true;
  if (host::Open(where->host, how, &fd) == 0 && host::Truncate(fd, size) == 0) host::StatusOf(fd, &where->st);
}

int OpenHost(const HostPath& where, DWORD access, bool create, host::Fd* fd) {
  host::OpenHow how;
  how.write = WantsWrite(access);
  how.create = create;
  how.exclusive = create;
  // The device keeps its own last-access time, so the host's is not worth
  // an inode write on every first read.
  how.keep_access_time = !how.write && !create;
  return host::Open(where.host, how, fd);
}

struct OpenRequest {
  DWORD access;
  DWORD share;
  DWORD disposition;
  DWORD attributes;
};

// Opens or creates the host file and marks its share; on failure returns the
// error and leaves nothing behind.
DWORD OpenOrCreate(Device& device, HostPath& where, const OpenRequest& req, host::Fd* fd_out, bool* created) {
  *created = !where.exists;
  host::Fd fd;
  int rc = OpenHost(where, req.access, *created, &fd);
  if (rc == EEXIST && req.disposition != CREATE_NEW) {
    *created = false;  // appeared since we looked
    rc = OpenHost(where, req.access, false, &fd);
  }
  if (rc) return rc == EEXIST ? ERROR_FILE_EXISTS : rc == ELOOP ? ERROR_INVALID_NAME : Win32FromErrno(rc);
  if (DWORD err = AcquireShare(device.RunDir().string(), fd, req.access, req.share)) {
    fd.Reset();
    if (*created) host::RemoveFile(where.host);
    if (*created) NoteOwnChangeIn(where);
    return err;
  }
  if (*created) NoteOwnChangeIn(where);
  bool truncate = !*created && (req.disposition == CREATE_ALWAYS || req.disposition == TRUNCATE_EXISTING);
  if (truncate) {
    if (int error = host::Truncate(fd, 0)) return Win32FromErrno(error);
  }
  *fd_out = std::move(fd);
  return 0;
}

// Writes the metadata row of a file just created or replaced.
void DescribeNewContent(Device& device, const HostPath& where, const host::Fd& fd, bool created, DWORD requested) {
  host::EntryStatus st;
  if (host::StatusOf(fd, &st) != 0) return;
  StampDeviceTime(fd, &st);
  SqlDb& db = device.Db();
  std::optional<FileMeta> old = created ? std::nullopt : LoadMeta(db, where.key);
  int64_t now = st.last_write;
  DWORD attributes = (requested & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
  // Replacing keeps the hidden and system marks of the file it replaces.
  if (old) attributes |= old->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  SaveMeta(db, where.key, RowFor(st, attributes, old ? old->creation : now, now));
}

DWORD CheckDisposition(const HostPath& where, DWORD access, DWORD disposition) {
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return ERROR_INVALID_PARAMETER;
  if (where.IsFixedFolder() || where.IsDir()) return ERROR_ACCESS_DENIED;
  if (disposition == CREATE_NEW && where.exists) return ERROR_FILE_EXISTS;
  if ((disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) && !where.exists) return ERROR_FILE_NOT_FOUND;
  if (disposition == TRUNCATE_EXISTING && !WantsWrite(access)) return ERROR_INVALID_PARAMETER;
  if (where.exists && !where.st.IsFile()) return ERROR_ACCESS_DENIED;
  return 0;
}

HANDLE OpenFile(Device& device, LPCWSTR name, const OpenRequest& req) {
  HostPath where;
  if (DWORD err = ResolveDevicePath(device, WView(name), &where)) return Fail(err, INVALID_HANDLE_VALUE);
  if (DWORD err = CheckDisposition(where, req.access, req.disposition)) return Fail(err, INVALID_HANDLE_VALUE);
  bool existed = where.exists;
  if (existed) ApplyResizeFault(&where);
  if (DWORD err = OpenFault(where, !existed || req.disposition == CREATE_ALWAYS)) return Fail(err, INVALID_HANDLE_VALUE);
  if (existed) {
    if (DWORD err = CheckOpenAllowed(device, where, req.access, req.disposition)) return Fail(err, INVALID_HANDLE_VALUE);
    if (DWORD err = CheckNotHeldBySystem(device, where)) return Fail(err, INVALID_HANDLE_VALUE);
  }
  host::Fd fd;
  bool created = false;
  if (DWORD err = OpenOrCreate(device, where, req, &fd, &created)) return Fail(err, INVALID_HANDLE_VALUE);
  bool replaced = !created && (req.disposition == CREATE_ALWAYS || req.disposition == TRUNCATE_EXISTING);
  if (created || replaced) DescribeNewContent(device, where, fd, created, req.attributes);

  FileOpenState state;
  state.device = &device;
  state.access = req.access;
  state.others_may_write = req.share & FILE_SHARE_WRITE;
  if (created || replaced || WantsWrite(req.access)) {
    host::EntryStatus st;
    if (host::StatusOf(fd, &st) != 0) st = {};
    state.size_at_open = st.size;
    state.id = st.id;
  } else {
    state.size_at_open = where.st.size;  // only growth by writing is counted
    state.id = where.st.id;
  }
  state.fd = std::move(fd);
  if (existed && replaced) AdjustSpaceUsed(device, where, -static_cast<int64_t>(where.st.size));
  if (WantsWrite(req.access)) {
    state.allowance.reset();
    state.write_fault_armed = FaultArmed("file.write", where.device);
    state.full_fault_armed = FaultArmed("volume.full", where.device);
  }
  state.read_fault_armed = FaultArmed("file.read", where.device);
  state.where = std::move(where);
  HANDLE h = AllocHandle(std::make_shared<FileObject>(std::move(state)));
  bool reported_existing = existed && (req.disposition == OPEN_ALWAYS || req.disposition == CREATE_ALWAYS);
  SetLastError(reported_existing ? ERROR_ALREADY_EXISTS : NO_ERROR);
  return h;
}

}  // namespace
}  // namespace cedev

using cedev::Fail;
using cedev::FileObject;
using cedev::LookupHandleAs;

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  if (!lpFileName) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  cedev::Device* device = cedev::Device::Current();
  if (!device) return INVALID_HANDLE_VALUE;
  cedev::OpenRequest req{dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes};
  return cedev::OpenFile(*device, lpFileName, req);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!lpNumberOfBytesRead || lpOverlapped || (!lpBuffer && nNumberOfBytesToRead)) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  *lpNumberOfBytesRead = 0;
  return file->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!lpNumberOfBytesWritten || lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite)) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  *lpNumberOfBytesWritten = 0;
  return file->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten);
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
  return file->Seek(lDistanceToMove, lpDistanceToMoveHigh, dwMoveMethod);
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
  return file->Size(lpFileSizeHigh);
}

BOOL SetEndOfFile(HANDLE hFile) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return file->SetEnd();
}

BOOL FlushFileBuffers(HANDLE hFile) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return file->Flush();
}

BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime, LPFILETIME lpLastWriteTime) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return file->GetTimes(lpCreationTime, lpLastAccessTime, lpLastWriteTime);
}

BOOL SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                 const FILETIME* lpLastWriteTime) {
  auto file = LookupHandleAs<FileObject>(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return file->SetTimes(lpCreationTime, lpLastAccessTime, lpLastWriteTime);
}

// The handle side of the file API: opening and creating files, reading,
// writing, positions, sizes and times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ce/file.h"
#include "device_folder.h"
#include "device_path.h"
#include "faults.h"
#include "file_meta.h"
#include "file_object.h"
#include "find.h"
#include "handles.h"
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

int OpenHost(const HostPath& where, DWORD access, bool create) {
  int flags = O_CLOEXEC | O_NOFOLLOW | (WantsWrite(access) ? O_RDWR : O_RDONLY);
  if (create) flags |= O_CREAT | O_EXCL;
  // The device keeps its own last-access time, so the host's is not worth
  // an inode write on every first read; the host refuses the flag for files
  // we do not own, and then the plain open follows.
  auto open = [&](int extra) {
    int fd;
    do {
      fd = ::open(where.host.c_str(), flags | extra, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
  };
  if (WantsWrite(access) || create) return open(0);
  int fd = open(O_NOATIME);
  return fd < 0 && errno == EPERM ? open(0) : fd;
}

struct OpenRequest {
  DWORD access;
  DWORD share;
  DWORD disposition;
  DWORD attributes;
};

// Opens or creates the host file and marks its share; on failure returns the
// error and leaves nothing behind.
DWORD OpenOrCreate(Device& device, HostPath& where, const OpenRequest& req, int* fd_out, bool* created) {
  *created = !where.exists;
  int fd = OpenHost(where, req.access, *created);
  if (fd < 0 && errno == EEXIST && req.disposition != CREATE_NEW) {
    *created = false;  // appeared since we looked
    fd = OpenHost(where, req.access, false);
  }
  if (fd < 0) return errno == EEXIST ? ERROR_FILE_EXISTS : errno == ELOOP ? ERROR_INVALID_NAME : Win32FromErrno(errno);
  if (DWORD err = AcquireShare(device.RunDir().string(), fd, req.access, req.share)) {
    ::close(fd);
    if (*created) ::unlink(where.host.c_str());
    if (*created) NoteOwnChangeIn(where);
    return err;
  }
  if (*created) NoteOwnChangeIn(where);
  bool truncate = !*created && (req.disposition == CREATE_ALWAYS || req.disposition == TRUNCATE_EXISTING);
  if (truncate && ::ftruncate(fd, 0) != 0) {
    DWORD err = Win32FromErrno(errno);
    ::close(fd);
    return err;
  }
  *fd_out = fd;
  return 0;
}

// Writes the metadata row of a file just created or replaced.
void DescribeNewContent(Device& device, const HostPath& where, int fd, bool created, DWORD requested) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return;
  StampDeviceTime(fd, &st);
  SqlDb& db = device.Db();
  std::optional<FileMeta> old = created ? std::nullopt : LoadMeta(db, where.key);
  int64_t now = HostLastWrite(st);
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
  if (where.exists && !S_ISREG(where.st.st_mode)) return ERROR_ACCESS_DENIED;
  return 0;
}

HANDLE OpenFile(Device& device, LPCWSTR name, const OpenRequest& req) {
  HostPath where;
  if (DWORD err = ResolveDevicePath(device, WView(name), &where)) return Fail(err, INVALID_HANDLE_VALUE);
  if (DWORD err = CheckDisposition(where, req.access, req.disposition)) return Fail(err, INVALID_HANDLE_VALUE);
  bool existed = where.exists;
  if (DWORD err = OpenFault(where, !existed || req.disposition == CREATE_ALWAYS)) return Fail(err, INVALID_HANDLE_VALUE);
  if (existed) {
    if (DWORD err = CheckOpenAllowed(device, where, req.access, req.disposition)) return Fail(err, INVALID_HANDLE_VALUE);
  }
  int fd = -1;
  bool created = false;
  if (DWORD err = OpenOrCreate(device, where, req, &fd, &created)) return Fail(err, INVALID_HANDLE_VALUE);
  bool replaced = !created && (req.disposition == CREATE_ALWAYS || req.disposition == TRUNCATE_EXISTING);
  if (created || replaced) DescribeNewContent(device, where, fd, created, req.attributes);

  FileOpenState state;
  state.device = &device;
  state.fd = fd;
  state.access = req.access;
  state.others_may_write = req.share & FILE_SHARE_WRITE;
  struct stat st;
  if (created || replaced || WantsWrite(req.access)) {
    if (::fstat(fd, &st) != 0) st = {};
    state.size_at_open = static_cast<uint64_t>(st.st_size);
    state.id = {st.st_dev, st.st_ino};
  } else {
    state.size_at_open = static_cast<uint64_t>(where.st.st_size);  // only growth by writing is counted
    state.id = {where.st.st_dev, where.st.st_ino};
  }
  if (existed && replaced) AdjustSpaceUsed(device, where, -static_cast<int64_t>(where.st.st_size));
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

#include "host_locks.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "host_files.h"

namespace cedev::host {
namespace {

int Flock(const Fd& fd, int operation) {
  int rc;
  do {
    rc = ::flock(fd.Get(), operation);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : errno;
}

struct flock RangeOf(short type, uint64_t offset, uint64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  return fl;
}

}  // namespace

int LockFile::Open(const std::string& path) { return OpenOrCreate(path, &fd_); }

int LockFile::OpenExisting(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  fd_.Reset(fd);
  return 0;
}

int LockFile::Lock(bool exclusive) { return Flock(fd_, exclusive ? LOCK_EX : LOCK_SH); }

int LockFile::TryLock(bool exclusive) { return Flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB); }

void LockFile::Unlock() { Flock(fd_, LOCK_UN); }

int RangeLockedByOthers(const Fd& fd, uint64_t offset, uint64_t length, bool* locked) {
  struct flock fl = RangeOf(F_WRLCK, offset, length);
  if (::fcntl(fd.Get(), F_OFD_GETLK, &fl) != 0) return errno;
  *locked = fl.l_type != F_UNLCK;
  return 0;
}

int ShareRange(const Fd& fd, uint64_t offset, uint64_t length) {
  struct flock fl = RangeOf(F_RDLCK, offset, length);
  return ::fcntl(fd.Get(), F_OFD_SETLK, &fl) == 0 ? 0 : errno;
}

}  // namespace cedev::host

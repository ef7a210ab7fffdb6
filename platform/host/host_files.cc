#include "host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "host_time.h"

namespace cedev::host {
namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::kFile;
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  if (S_ISLNK(mode)) return EntryKind::kLink;
  return EntryKind::kOther;
}

void Convert(const struct stat& st, EntryStatus* out) {
  out->kind = KindOf(st.st_mode);
  out->size = static_cast<uint64_t>(st.st_size);
  out->last_write = FileTimeFromHost(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  out->last_access = FileTimeFromHost(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  out->id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  out->owner_writable = (st.st_mode & S_IWUSR) != 0;
}

int Result(int rc) { return rc == 0 ? 0 : errno; }

struct timespec HostTimeOf(int64_t filetime) {
  int64_t since_epoch = filetime - kFileTimeUnixEpoch;
  int64_t seconds = since_epoch / kFileTimeTicksPerSecond;
  int64_t units = since_epoch % kFileTimeTicksPerSecond;
  if (units < 0) {
    units += kFileTimeTicksPerSecond;
    --seconds;
  }
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>(units * 100);
  return ts;
}

template <class Call>
int Retrying(Call call) {
  int rc;
  do {
    rc = call();
  } while (rc != 0 && errno == EINTR);
  return Result(rc);
}

int OpenRetrying(const char* path, int flags, Fd* out) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  out->Reset(fd);
  return 0;
}

}  // namespace

int StatusOf(const std::string& path, EntryStatus* out) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno;
  Convert(st, out);
  return 0;
}

int StatusFollowing(const std::string& path, EntryStatus* out) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  Convert(st, out);
  return 0;
}

int StatusOf(const Fd& fd, EntryStatus* out) {
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) return errno;
  Convert(st, out);
  return 0;
}

int StatusAt(const Fd& folder, const char* name, EntryStatus* out) {
  struct stat st;
  if (::fstatat(folder.Get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  Convert(st, out);
  return 0;
}

int Open(const std::string& path, const OpenHow& how, Fd* out) {
  int flags = O_NOFOLLOW | (how.write ? O_RDWR : O_RDONLY);
  if (how.create) flags |= O_CREAT;
  if (how.create && how.exclusive) flags |= O_EXCL;
  if (how.folder) flags |= O_DIRECTORY;
  if (how.keep_access_time) {
    // Only the file's owner may ask for it; anyone else opens it as usual.
    int rc = OpenRetrying(path.c_str(), flags | O_NOATIME, out);
    if (rc != EPERM) return rc;
  }
  return OpenRetrying(path.c_str(), flags, out);
}

int OpenOrCreate(const std::string& path, Fd* out) { return OpenRetrying(path.c_str(), O_RDWR | O_CREAT, out); }

int ReadAt(const Fd& fd, void* buffer, size_t count, uint64_t offset, size_t* done) {
  ssize_t n;
  do {
    n = ::pread(fd.Get(), buffer, count, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno;
  *done = static_cast<size_t>(n);
  return 0;
}

int WriteAt(const Fd& fd, const void* buffer, size_t count, uint64_t offset, size_t* done) {
  ssize_t n;
  do {
    n = ::pwrite(fd.Get(), buffer, count, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno;
  *done = static_cast<size_t>(n);
  return 0;
}

int Truncate(const Fd& fd, uint64_t size) {
  return Retrying([&] { return ::ftruncate(fd.Get(), static_cast<off_t>(size)); });
}

int SetLastWrite(const Fd& fd, int64_t filetime) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = HostTimeOf(filetime);
  return Result(::futimens(fd.Get(), times));
}

int SetTimesOf(const std::string& path, int64_t last_access, int64_t last_write) {
  struct timespec times[2] = {HostTimeOf(last_access), HostTimeOf(last_write)};
  return Result(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int CopyTimes(const std::string& from, const std::string& to) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return errno;
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  return Result(::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int Rename(const std::string& from, const std::string& to) { return Result(::rename(from.c_str(), to.c_str())); }

int RemoveFile(const std::string& path) { return Result(::unlink(path.c_str())); }

int MakeFolder(const std::string& path) { return Result(::mkdir(path.c_str(), 0755)); }

int RemoveFolder(const std::string& path) { return Result(::rmdir(path.c_str())); }

namespace {

// Reads and closes `dir`.
void ReadFolder(DIR* dir, const std::function<void(const char* name)>& take) {
  while (dirent* e = ::readdir(dir)) {
    const char* name = e->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    take(name);
  }
  ::closedir(dir);
}

}  // namespace

int ListFolder(const Fd& folder, const std::function<void(const char* name)>& take) {
  // closedir closes the descriptor it reads, so it reads a copy.
  int copy = ::dup(folder.Get());
  if (copy < 0) return errno;
  DIR* dir = ::fdopendir(copy);
  if (!dir) {
    int error = errno;
    ::close(copy);
    return error;
  }
  ReadFolder(dir, take);
  return 0;
}

// Straight from the path: a case-insensitive lookup scans folders on the
// way to a file, and each descriptor saved counts there.
int ListFolder(const std::string& path, const std::function<void(const char* name)>& take) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return errno;
  ReadFolder(dir, take);
  return 0;
}

uint64_t FileBytesUnder(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return 0;
  if (!S_ISDIR(st.st_mode)) return S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  uint64_t total = 0;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(path, std::filesystem::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) total += static_cast<uint64_t>(st.st_size);
  }
  return total;
}

int FileSystemSpace(const std::string& path, uint64_t* total, uint64_t* free) {
  struct statvfs vfs;
  if (::statvfs(path.c_str(), &vfs) != 0) return errno;
  *total = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  *free = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return 0;
}

bool IsExecutable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

}  // namespace cedev::host

#include "share_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "ce/file.h"
#include "last_error.h"

namespace cedev {
namespace {

// Far past any offset a device file can reach, still a valid off_t.
constexpr off_t kMarkerBase = 0x7FFFFFFF00000000LL;
enum Marker : off_t { kHasRead = 0, kHasWrite = 1, kDeniesRead = 2, kDeniesWrite = 3 };

// Whether another open file description holds a lock on the marker byte.
bool MarkerTaken(int fd, Marker m, bool* taken) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kMarkerBase + m;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  *taken = fl.l_type != F_UNLCK;
  return true;
}

bool TakeMarker(int fd, Marker m) {
  struct flock fl {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kMarkerBase + m;
  fl.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// The device-wide lock that makes test-and-take one step: an in-process
// mutex (flock is per open file description, shared by our threads) plus
// flock on run/share.lock for the other programs.
class DeviceShareLock {
 public:
  explicit DeviceShareLock(const std::string& run_dir) : guard_(Mutex()) {
    fd_ = LockFileFd(run_dir);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~DeviceShareLock() {
    if (fd_ >= 0) ::flock(fd_, LOCK_UN);
  }
  DeviceShareLock(const DeviceShareLock&) = delete;
  DeviceShareLock& operator=(const DeviceShareLock&) = delete;

 private:
  static std::mutex& Mutex() {
    static std::mutex* m = new std::mutex;
    return *m;
  }
  // One descriptor per device folder, kept for the life of the process.
  static int LockFileFd(const std::string& run_dir) {
    static auto* fds = new std::map<std::string, int>;
    auto it = fds->find(run_dir);
    if (it != fds->end()) return it->second;
    ::mkdir(run_dir.c_str(), 0755);
    int fd = ::open((run_dir + "/share.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) fds->emplace(run_dir, fd);
    return fd;
  }

  std::lock_guard<std::mutex> guard_;
  int fd_ = -1;
};

}  // namespace

DWORD AcquireShare(const std::string& run_dir, int fd, DWORD access, DWORD share) {
  bool reads = access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE);
  bool writes = access & (GENERIC_WRITE | GENERIC_ALL);
  bool denies_read = !(share & FILE_SHARE_READ);
  bool denies_write = !(share & FILE_SHARE_WRITE);
  DeviceShareLock lock(run_dir);
  struct Check {
    bool applies;
    Marker marker;
  } checks[] = {{reads, kDeniesRead}, {writes, kDeniesWrite}, {denies_read, kHasRead}, {denies_write, kHasWrite}};
  for (const Check& c : checks) {
    bool taken = false;
    if (!c.applies) continue;
    if (!MarkerTaken(fd, c.marker, &taken)) return Win32FromErrno(errno);
    if (taken) return ERROR_SHARING_VIOLATION;
  }
  struct Mark {
    bool applies;
    Marker marker;
  } marks[] = {{reads, kHasRead}, {writes, kHasWrite}, {denies_read, kDeniesRead}, {denies_write, kDeniesWrite}};
  for (const Mark& m : marks) {
    if (m.applies && !TakeMarker(fd, m.marker)) return Win32FromErrno(errno);
  }
  return 0;
}

DWORD CheckNotInUse(const std::string& run_dir, int fd) {
  DeviceShareLock lock(run_dir);
  for (Marker m : {kHasRead, kHasWrite}) {
    bool taken = false;
    if (!MarkerTaken(fd, m, &taken)) return Win32FromErrno(errno);
    if (taken) return ERROR_SHARING_VIOLATION;
  }
  return 0;
}

}  // namespace cedev

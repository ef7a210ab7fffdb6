#include "database_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "device_folder.h"

namespace cedev {

DatabaseLock::~DatabaseLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool DatabaseLock::Lock(const Device& device, CEOID oid, int operation) {
  std::error_code ec;
  std::filesystem::create_directories(device.RunDir(), ec);
  path_ = (device.RunDir() / ("db-" + std::to_string(oid) + ".lock")).string();
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return false;
  int rc;
  do {
    rc = ::flock(fd_, operation);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) return true;
  ::close(fd_);
  fd_ = -1;
  return false;
}

bool DatabaseLock::HoldOpen(const Device& device, CEOID oid) { return Lock(device, oid, LOCK_SH); }

bool DatabaseLock::HoldForDelete(const Device& device, CEOID oid) { return Lock(device, oid, LOCK_EX | LOCK_NB); }

void DatabaseLock::RemoveFile() {
  if (fd_ >= 0) ::unlink(path_.c_str());
}

}  // namespace cedev

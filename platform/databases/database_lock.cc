#include "database_lock.h"

#include "device_folder.h"
#include "host_files.h"

namespace cedev {

bool DatabaseLock::Open(const Device& device, CEOID oid) {
  std::error_code ec;
  std::filesystem::create_directories(device.RunDir(), ec);
  path_ = (device.RunDir() / ("db-" + std::to_string(oid) + ".lock")).string();
  return file_.Open(path_) == 0;
}

bool DatabaseLock::HoldOpen(const Device& device, CEOID oid) {
  if (Open(device, oid) && file_.Lock(false) == 0) return true;
  file_ = host::LockFile();
  return false;
}

bool DatabaseLock::HoldForDelete(const Device& device, CEOID oid) {
  if (Open(device, oid) && file_.TryLock(true) == 0) return true;
  file_ = host::LockFile();
  return false;
}

void DatabaseLock::RemoveFile() {
  if (file_.IsOpen()) host::RemoveFile(path_);
}

}  // namespace cedev

// Who holds a database open, across every program of the device: each open
// handle keeps a shared lock on run/db-OID.lock, and deleting takes the lock
// exclusively without waiting. Locks die with their process, so a program
// that was killed never keeps a database busy.
#pragma once

#include <string>

#include "ce/types.h"
#include "host_locks.h"

namespace cedev {

class Device;

class DatabaseLock {
 public:
  DatabaseLock() = default;
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

  // Shared hold for an open handle; waits out a delete in progress.
  bool HoldOpen(const Device& device, CEOID oid);
  // Exclusive hold for deleting; false at once when any handle has it open.
  bool HoldForDelete(const Device& device, CEOID oid);
  // After the database is gone: removes the lock file (still holding it).
  void RemoveFile();

 private:
  bool Open(const Device& device, CEOID oid);
  host::LockFile file_;
  std::string path_;
};

}  // namespace cedev

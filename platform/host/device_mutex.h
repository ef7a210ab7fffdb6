// A lock shared by every program of one device: a robust, process-shared
// mutex in a small file that each program maps. Taking it costs no system
// call while no other program holds it, and a program that dies holding it
// passes it on to the next taker instead of leaving the device locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace cedev {

class DeviceMutex {
 public:
  // Maps the mutex kept in the file `path`, setting it up when the file is
  // new. Null when the file cannot be made or mapped.
  static std::unique_ptr<DeviceMutex> Open(const std::string& path);
  ~DeviceMutex();
  DeviceMutex(const DeviceMutex&) = delete;
  DeviceMutex& operator=(const DeviceMutex&) = delete;

  // False only when the mutex cannot be taken at all (the caller then needs
  // another lock); a holder that died is no such case.
  bool Lock();
  void Unlock();

 private:
  struct Shared;  // what every program maps
  explicit DeviceMutex(Shared* shared) : shared_(shared) {}

  Shared* shared_;
};

}  // namespace cedev

// Change counters shared by every program of a device: a small file in run/
// mapped into each process. A service bumps its counter after it committed
// a change; readers keep caches (enumeration snapshots, the fault list) for
// as long as the counter stands still, which costs a memory read instead of
// a database query per call. Device::Counters() holds a device's counters;
// ReadSharedCounter and BumpSharedCounter (device_folder.h) use the current
// device's.
#pragma once

#include <cstdint>
#include <string>

namespace cedev {

enum class SharedCounter { kRegistry = 0, kFaults = 1, kDatabases = 2, kFileMeta = 3 };

class SharedCounters {
 public:
  // Maps RUN_DIR/counters, creating it when missing; the mapping lives as
  // long as the process.
  explicit SharedCounters(const std::string& run_dir);

  uint64_t Read(SharedCounter counter);
  // Returns the value the counter had just before this bump, so a process
  // can tell whether anyone else moved the counter since it last looked.
  uint64_t Bump(SharedCounter counter);

 private:
  uint64_t* slots_ = nullptr;
};

// What a counter that cannot be mapped reads: a value no read ever returned,
// so caches are simply never trusted.
uint64_t UntrustedCounterValue();

}  // namespace cedev

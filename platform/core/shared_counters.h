// Change counters shared by every program of a device: a small file in run/
// mapped into each process. A service bumps its counter after it committed
// a change; readers keep caches (enumeration snapshots, the fault list) for
// as long as the counter stands still, which costs a memory read instead of
// a database query per call.
#pragma once

#include <cstdint>

namespace cedev {

enum class SharedCounter { kRegistry = 0, kFaults = 1, kDatabases = 2, kFileMeta = 3 };

// The counter's value on the current device. When the counter file cannot be
// mapped every read returns a new value, so caches are simply never trusted.
uint64_t ReadSharedCounter(SharedCounter counter);
// Returns the value the counter had just before this bump (when the file is
// not mapped, a value no read ever returned), so a process can tell whether
// anyone else moved the counter since it last looked.
uint64_t BumpSharedCounter(SharedCounter counter);

}  // namespace cedev

// Device programs read and write files in calls of a few hundred bytes to a
// few KiB. Passing each call to the host as its own system call makes the
// system call, not the data, the cost of a backup; these two buffers let one
// host call carry many device calls while every device program still sees
// the file as if each call had reached it:
// - WriteBehind holds the bytes written through one write-only handle until
//   anything else in the process looks at files (see pending_writes.h);
// - ReadAhead holds a window of a file that no other handle may change while
//   the reading handle is open (its share mode refuses writers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host_fd.h"

namespace cedev {

constexpr size_t kFileCacheBytes = 64 * 1024;

// One contiguous stretch of bytes written but not yet handed to the host.
class WriteBehind {
 public:
  bool Empty() const { return size_ == 0; }
  uint64_t End() const { return start_ + size_; }
  // Takes `count` bytes written at file offset `at` when they continue the
  // stretch (or start one) and fit; otherwise takes nothing and returns false.
  bool Append(uint64_t at, const void* data, size_t count);
  // Writes the stretch to `fd` at its offset. Returns 0, or the errno of the
  // failed write (ENOSPC for a host write that made no progress); the bytes
  // the host took are dropped from the stretch either way.
  int Drain(const host::Fd& fd);

 private:
  std::unique_ptr<char[]> buffer_;
  uint64_t start_ = 0;
  size_t size_ = 0;
};

// A window of file content read from the host in one call.
class ReadAhead {
 public:
  // Copies up to `count` bytes the window holds at file offset `at`;
  // returns how many (0 when `at` lies outside the window).
  size_t Copy(uint64_t at, void* out, size_t count) const;
  // Fills the window from file offset `at`. Returns 0 or an errno; at the
  // end of the file the window is empty.
  int Load(const host::Fd& fd, uint64_t at);
  bool Empty() const { return size_ == 0; }

 private:
  std::unique_ptr<char[]> buffer_;
  uint64_t start_ = 0;
  size_t size_ = 0;
};

}  // namespace cedev

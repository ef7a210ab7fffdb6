#include "file_cache.h"

#include <cerrno>
#include <cstring>

#include "host_files.h"

namespace cedev {

bool WriteBehind::Append(uint64_t at, const void* data, size_t count) {
  if (size_ > 0 && at != End()) return false;
  if (size_ + count > kFileCacheBytes) return false;
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kFileCacheBytes);
  if (size_ == 0) start_ = at;
  std::memcpy(buffer_.get() + size_, data, count);
  size_ += count;
  return true;
}

int WriteBehind::Drain(const host::Fd& fd) {
  size_t put = 0;
  int error = 0;
  while (put < size_) {
    size_t n = 0;
    error = host::WriteAt(fd, buffer_.get() + put, size_ - put, start_ + put, &n);
    if (!error && n == 0) error = ENOSPC;
    if (error) break;
    put += n;
  }
  // What the host refused is dropped: the caller reports the failure, and
  // keeping the bytes would make every later call fail the same way.
  size_ = 0;
  start_ += put;
  return error;
}

size_t ReadAhead::Copy(uint64_t at, void* out, size_t count) const {
  if (at < start_ || at >= start_ + size_) return 0;
  size_t offset = static_cast<size_t>(at - start_);
  size_t take = size_ - offset < count ? size_ - offset : count;
  std::memcpy(out, buffer_.get() + offset, take);
  return take;
}

// One host read: a short one is the end of the file for now, and the next
// call past the window looks again.
int ReadAhead::Load(const host::Fd& fd, uint64_t at) {
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kFileCacheBytes);
  start_ = at;
  size_ = 0;
  return host::ReadAt(fd, buffer_.get(), kFileCacheBytes, at, &size_);
}

}  // namespace cedev

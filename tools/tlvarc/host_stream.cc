#include "host_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tlvarc {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

HostReadStream::~HostReadStream() {
  if (fd_ >= 0) ::close(fd_);
}

Status HostReadStream::Open(const std::string& path) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return Status::Io(ErrnoText("cannot open", path));
  struct stat st;
  if (::fstat(fd_, &st) != 0) return Status::Io(ErrnoText("cannot read", path));
  if (!S_ISREG(st.st_mode)) return Status::Io(path + ": not a regular file");
  size_ = uint64_t(st.st_size);
  buffer_.resize(1 << 18);
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return {};
}

void HostReadStream::OpenMemory(const uint8_t* data, size_t size, const std::string& name) {
  path_ = name;
  buffer_.assign(data, data + size);
  at_ = 0;
  filled_ = size;
  size_ = size;
}

bool HostReadStream::Refill() {
  at_ = filled_ = 0;
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n >= 0) {
      filled_ = size_t(n);
      return n > 0;
    }
    if (errno == EINTR) continue;
    error_ = ErrnoText("cannot read", path_);
    return false;
  }
}

int32_t HostReadStream::Read(void* buffer, int32_t count, int32_t* done) {
  int32_t got = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (got < count) {
    if (at_ == filled_ && (fd_ < 0 || !Refill())) break;
    size_t take = std::min(filled_ - at_, size_t(count - got));
    std::memcpy(out + got, buffer_.data() + at_, take);
    at_ += take;
    got += int32_t(take);
  }
  consumed_ += uint64_t(got);
  if (done) *done = got;
  return got > 0 || count <= 0;
}

int32_t HostReadStream::Write(const void*, int32_t, int32_t* done) {
  if (done) *done = 0;
  return 0;
}

HostWriteStream::~HostWriteStream() { Discard(); }

void HostWriteStream::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(temp_.c_str());
  }
}

Status HostWriteStream::Create(const std::string& target) {
  target_ = target;
  temp_ = target + ".tlvarc-tmp";
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) return Status::Io(ErrnoText("cannot create", temp_));
  return {};
}

int32_t HostWriteStream::Read(void*, int32_t, int32_t* done) {
  if (done) *done = 0;
  return 0;
}

bool HostWriteStream::Drain() {
  size_t at = 0;
  while (at < filled_) {
    ssize_t n = ::write(fd_, buffer_.data() + at, filled_ - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = ErrnoText("cannot write", temp_);
      return false;
    }
    at += size_t(n);
  }
  filled_ = 0;
  return true;
}

int32_t HostWriteStream::Write(const void* data, int32_t count, int32_t* done) {
  if (done) *done = 0;
  if (fd_ < 0) return 0;
  const auto* in = static_cast<const uint8_t*>(data);
  int32_t put = 0;
  while (put < count) {
    size_t take = std::min(buffer_.size() - filled_, size_t(count - put));
    std::memcpy(buffer_.data() + filled_, in + put, take);
    filled_ += take;
    put += int32_t(take);
    if (filled_ == buffer_.size() && !Drain()) return 0;
  }
  written_ += uint64_t(put);
  if (done) *done = put;
  return 1;
}

int32_t HostWriteStream::Flush() { return fd_ >= 0 && Drain(); }

Status HostWriteStream::Commit() {
  if (fd_ < 0) return Status::Io("cannot write " + temp_ + ": not open");
  if (!Drain()) return Status::Io(error_);
  if (::fsync(fd_) != 0) return Status::Io(ErrnoText("cannot write", temp_));
  if (::close(fd_) != 0) {
    fd_ = -1;
    ::unlink(temp_.c_str());
    return Status::Io(ErrnoText("cannot write", temp_));
  }
  fd_ = -1;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Status failed = Status::Io(ErrnoText("cannot replace", target_));
    ::unlink(temp_.c_str());
    return failed;
  }
  return {};
}

}  // namespace tlvarc

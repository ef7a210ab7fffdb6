// A host file descriptor owned by one object, and the text of the last host
// error, for the commands that write files on the PC.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace tlvarc {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// "what: reason" for the errno a host call just left.
inline std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace tlvarc

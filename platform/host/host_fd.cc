#include "host_fd.h"

#include <unistd.h>

namespace cedev::host {

void Fd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

}  // namespace cedev::host

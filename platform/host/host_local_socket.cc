#include "host_local_socket.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace cedev::host {
namespace {

// An endpoint starting with '@' lives outside the file system (a Linux
// abstract socket name); any other is a path.
constexpr char kAbstractMark = '@';

bool AddressOf(const std::string& endpoint, sockaddr_un* address, socklen_t* length) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (endpoint.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, endpoint.data(), endpoint.size());
  if (endpoint[0] == kAbstractMark) address->sun_path[0] = '\0';
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + endpoint.size());
  return true;
}

}  // namespace

int ListenLocal(const std::string& path, std::string* endpoint) {
  sockaddr_un address;
  socklen_t length;
  std::string name = path;
  if (!AddressOf(name, &address, &length)) {
    name = kAbstractMark + std::string("cedev-") + std::to_string(std::hash<std::string>{}(path));
    if (!AddressOf(name, &address, &length)) return -1;
  } else {
    ::unlink(path.c_str());  // a socket file left by a program that died
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 64) != 0) {
    ::close(fd);
    return -1;
  }
  *endpoint = name;
  return fd;
}

void RemoveLocalEndpoint(const std::string& endpoint) {
  if (!endpoint.empty() && endpoint[0] != kAbstractMark) ::unlink(endpoint.c_str());
}

int ConnectLocal(const std::string& endpoint) {
  sockaddr_un address;
  socklen_t length;
  if (endpoint.empty() || !AddressOf(endpoint, &address, &length)) return -1;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int AcceptLocal(int listener) {
  int fd;
  do {
    fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void CloseDescriptor(int fd) {
  if (fd >= 0) ::close(fd);
}

bool SendAll(int fd, const void* data, size_t size) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReceiveAll(int fd, void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = ::recv(fd, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

DescriptorPoller::DescriptorPoller() : fd_(::epoll_create1(EPOLL_CLOEXEC)) {}

DescriptorPoller::~DescriptorPoller() {
  if (fd_ >= 0) ::close(fd_);
}

bool DescriptorPoller::Add(int fd) {
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP;
  event.data.fd = fd;
  return ::epoll_ctl(fd_, EPOLL_CTL_ADD, fd, &event) == 0;
}

void DescriptorPoller::Remove(int fd) { ::epoll_ctl(fd_, EPOLL_CTL_DEL, fd, nullptr); }

std::vector<int> DescriptorPoller::Wait(std::chrono::milliseconds timeout) {
  epoll_event events[32];
  int n;
  do {
    n = ::epoll_wait(fd_, events, 32, static_cast<int>(timeout.count()));
  } while (n < 0 && errno == EINTR);
  std::vector<int> ready;
  for (int i = 0; i < n; ++i) ready.push_back(events[i].data.fd);
  return ready;
}

}  // namespace cedev::host

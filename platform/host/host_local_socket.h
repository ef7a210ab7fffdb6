// Stream sockets between the programs of one device: each program listens
// on an endpoint of its own, and others connect to it to send it messages.
// Descriptors are plain ints so that callers need not see the host's headers.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace cedev::host {

// Listens on a socket file at `path`; where the host cannot take a path that
// long, on a name of the same meaning outside the file system. *endpoint is
// what ConnectLocal takes to reach it. -1 on failure.
int ListenLocal(const std::string& path, std::string* endpoint);
// Removes what ListenLocal left in the file system.
void RemoveLocalEndpoint(const std::string& endpoint);
// -1 when nobody listens there.
int ConnectLocal(const std::string& endpoint);
// The next connection of a listening socket; -1 when there is none.
int AcceptLocal(int listener);
void CloseDescriptor(int fd);

// Writes all of `data`; false when the other side has gone.
bool SendAll(int fd, const void* data, size_t size);
// Reads exactly `size` bytes; false when the other side has gone first.
bool ReceiveAll(int fd, void* data, size_t size);

// Waits for any of a set of descriptors to have data or a hang-up.
class DescriptorPoller {
 public:
  DescriptorPoller();
  ~DescriptorPoller();
  DescriptorPoller(const DescriptorPoller&) = delete;
  DescriptorPoller& operator=(const DescriptorPoller&) = delete;

  bool Valid() const { return fd_ >= 0; }
  bool Add(int fd);
  void Remove(int fd);
  // The descriptors that are ready; empty after `timeout` (negative: none).
  std::vector<int> Wait(std::chrono::milliseconds timeout);

 private:
  int fd_;
};

}  // namespace cedev::host

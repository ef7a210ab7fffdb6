// A region of a file in the device's run/ folder, mapped shared by every
// program of the device. The first program to map it sets it up, under a
// lock on the file, so two programs never both do; the others find it ready.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace cedev::host {

class SharedRegion {
 public:
  // Maps `size` bytes of the file at `path`, creating the file when it is
  // missing. A region whose first 8 bytes are not `magic` (a new file, or
  // one another layout left) is zeroed and handed to `set_up`; the magic is
  // written once that succeeded. Null when the file cannot be made, mapped
  // or set up.
  static std::unique_ptr<SharedRegion> Open(const std::string& path, size_t size, uint64_t magic,
                                            const std::function<bool(void* region)>& set_up);
  ~SharedRegion();
  SharedRegion(const SharedRegion&) = delete;
  SharedRegion& operator=(const SharedRegion&) = delete;

  void* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  SharedRegion(void* data, size_t size) : data_(data), size_(size) {}
  void* data_;
  size_t size_;
};

}  // namespace cedev::host

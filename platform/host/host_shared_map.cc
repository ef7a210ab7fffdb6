#include "host_shared_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host_files.h"

namespace cedev::host {

void* MapSharedFile(const std::string& path, size_t bytes) {
  Fd fd;
  if (OpenOrCreate(path, &fd) != 0) return nullptr;
  struct stat st {};
  bool sized = ::fstat(fd.Get(), &st) == 0 &&
               (st.st_size >= static_cast<off_t>(bytes) || ::ftruncate(fd.Get(), static_cast<off_t>(bytes)) == 0);
  void* map = sized ? ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.Get(), 0) : MAP_FAILED;
  return map == MAP_FAILED ? nullptr : map;
}

void UnmapSharedFile(void* map, size_t bytes) {
  if (map) ::munmap(map, bytes);
}

}  // namespace cedev::host

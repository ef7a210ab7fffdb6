// LocalAlloc and friends over malloc, with a table of live blocks: LocalSize
// and LocalFree must recognise their own blocks, and the database service
// asks which block a record buffer lives in.
#include "local_alloc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "ce/database.h"

namespace cedev {
namespace {

struct Heap {
  std::mutex mutex;
  std::map<uintptr_t, size_t> blocks;  // start -> size
};

Heap& TheHeap() {
  static Heap* heap = new Heap;  // blocks may be freed during exit
  return *heap;
}

uintptr_t Key(const void* p) { return reinterpret_cast<uintptr_t>(p); }

}  // namespace

bool FindLocalBlock(const void* p, const uint8_t** start, size_t* size) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.upper_bound(Key(p));
  if (it == heap.blocks.begin()) return false;
  --it;
  // An empty block still "contains" its own start.
  if (Key(p) >= it->first + std::max<size_t>(it->second, 1)) return false;
  *start = reinterpret_cast<const uint8_t*>(it->first);
  *size = it->second;
  return true;
}

}  // namespace cedev

using cedev::Key;
using cedev::TheHeap;

HLOCAL LocalAlloc(UINT uFlags, UINT uBytes) {
  if (uFlags & ~(LMEM_MOVEABLE | LMEM_ZEROINIT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Never zero bytes of storage, so every block has an address of its own.
  void* p = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes ? uBytes : 1) : std::malloc(uBytes ? uBytes : 1);
  if (!p) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  heap.blocks[Key(p)] = uBytes;
  return p;
}

HLOCAL LocalReAlloc(HLOCAL hMem, UINT uBytes, UINT uFlags) {
  auto& heap = TheHeap();
  std::unique_lock lock(heap.mutex);
  auto it = heap.blocks.find(Key(hMem));
  if (it == heap.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  size_t old_size = it->second;
  // A fixed block may shrink or keep its size in place; growing means moving
  // it, which the caller must allow.
  if (uBytes > old_size && !(uFlags & LMEM_MOVEABLE)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* p = uBytes > old_size ? std::realloc(hMem, uBytes) : hMem;
  if (!p) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if ((uFlags & LMEM_ZEROINIT) && uBytes > old_size) std::memset(static_cast<BYTE*>(p) + old_size, 0, uBytes - old_size);
  heap.blocks.erase(it);
  heap.blocks[Key(p)] = uBytes;
  return p;
}

HLOCAL LocalFree(HLOCAL hMem) {
  if (!hMem) return nullptr;
  auto& heap = TheHeap();
  {
    std::lock_guard lock(heap.mutex);
    auto it = heap.blocks.find(Key(hMem));
    if (it == heap.blocks.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return hMem;
    }
    heap.blocks.erase(it);
  }
  std::free(hMem);
  return nullptr;
}

UINT LocalSize(HLOCAL hMem) {
  auto& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.find(Key(hMem));
  if (it == heap.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<UINT>(it->second);
}

#include "handles.h"

#include <mutex>
#include <vector>

namespace cedev {
namespace {

// Handle values start well above zero and step by four, as on the device,
// and stay far below the predefined registry roots (0x80000000 and up).
constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kHandleStep = 4;

struct Table {
  std::mutex mutex;
  std::vector<std::shared_ptr<KObject>> slots;
  std::vector<size_t> free_slots;
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: handles may be closed during exit
  return *table;
}

bool SlotOf(HANDLE handle, size_t* slot) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (value < kFirstHandle || (value - kFirstHandle) % kHandleStep != 0) return false;
  *slot = (value - kFirstHandle) / kHandleStep;
  return true;
}

}  // namespace

HANDLE AllocHandle(std::shared_ptr<KObject> object) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  size_t slot;
  if (!t.free_slots.empty()) {
    slot = t.free_slots.back();
    t.free_slots.pop_back();
    t.slots[slot] = std::move(object);
  } else {
    slot = t.slots.size();
    t.slots.push_back(std::move(object));
  }
  return reinterpret_cast<HANDLE>(kFirstHandle + slot * kHandleStep);
}

std::shared_ptr<KObject> LookupHandle(HANDLE handle) {
  size_t slot;
  if (!SlotOf(handle, &slot)) return nullptr;
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  if (slot >= t.slots.size()) return nullptr;
  return t.slots[slot];
}

bool ReleaseHandle(HANDLE handle) {
  size_t slot;
  if (!SlotOf(handle, &slot)) return false;
  std::shared_ptr<KObject> doomed;  // destroyed outside the lock
  Table& t = TheTable();
  {
    std::lock_guard lock(t.mutex);
    if (slot >= t.slots.size() || !t.slots[slot]) return false;
    doomed = std::move(t.slots[slot]);
    t.free_slots.push_back(slot);
  }
  return true;
}

void ReleaseAllHandles() {
  std::vector<std::shared_ptr<KObject>> doomed;
  Table& t = TheTable();
  {
    std::lock_guard lock(t.mutex);
    doomed.swap(t.slots);
    t.free_slots.clear();
  }
}

}  // namespace cedev

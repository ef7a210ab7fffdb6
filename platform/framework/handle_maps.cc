#include "handle_maps.h"

namespace afx {

bool PermanentMap::Add(HWND hWnd, CWnd* wnd) {
  std::lock_guard lock(mutex_);
  return bound_.emplace(hWnd, wnd).second;
}

void PermanentMap::Remove(HWND hWnd, CWnd* wnd) {
  std::lock_guard lock(mutex_);
  auto it = bound_.find(hWnd);
  if (it != bound_.end() && it->second == wnd) bound_.erase(it);
}

CWnd* PermanentMap::Find(HWND hWnd) {
  std::lock_guard lock(mutex_);
  auto it = bound_.find(hWnd);
  return it == bound_.end() ? nullptr : it->second;
}

CWnd* TemporaryMap::For(HWND hWnd) {
  std::unique_ptr<CWnd>& slot = objects_[hWnd];
  if (!slot) {
    // A plain handle holder: not in the permanent map, so its messages are
    // not routed through it.
    slot = std::make_unique<CWnd>();
    slot->m_hWnd = hWnd;
  }
  return slot.get();
}

PermanentMap& Permanent() {
  static PermanentMap* map = new PermanentMap;  // outlives static window objects
  return *map;
}

TemporaryMap& Temporaries() {
  thread_local TemporaryMap map;
  return map;
}

}  // namespace afx

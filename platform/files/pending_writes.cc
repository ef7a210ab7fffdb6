#include "pending_writes.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace cedev {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<PendingWriter*> writers;
  std::atomic<size_t> count{0};
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: drained during exit
  return *registry;
}

void DrainAtExit() { DrainPendingWriters(); }

}  // namespace

void AddPendingWriter(PendingWriter* writer) {
  static std::once_flag at_exit;
  std::call_once(at_exit, [] { std::atexit(DrainAtExit); });
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  if (std::find(r.writers.begin(), r.writers.end(), writer) != r.writers.end()) return;
  r.writers.push_back(writer);
  r.count.store(r.writers.size(), std::memory_order_release);
}

void RemovePendingWriter(PendingWriter* writer) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.writers.erase(std::remove(r.writers.begin(), r.writers.end(), writer), r.writers.end());
  r.count.store(r.writers.size(), std::memory_order_release);
}

bool DrainPendingWritersFor(const HostEntryId& entry, const PendingWriter* except) {
  Registry& r = TheRegistry();
  if (r.count.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard lock(r.mutex);
  bool any = false;
  for (PendingWriter* writer : r.writers) {
    if (writer == except || !writer->Concerns(entry)) continue;
    writer->DrainPending();
    any = true;
  }
  return any;
}

void DrainPendingWriters() {
  Registry& r = TheRegistry();
  if (r.count.load(std::memory_order_acquire) == 0) return;
  std::lock_guard lock(r.mutex);
  for (PendingWriter* writer : r.writers) writer->DrainPending();
}

}  // namespace cedev

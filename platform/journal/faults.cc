#include "faults.h"

#include <mutex>

#include "device_folder.h"
#include "host_process.h"
#include "journal.h"
#include "shared_counters.h"
#include "wstr.h"

namespace cedev {
namespace {

bool Matches(std::u16string_view pattern, std::u16string_view target) {
  if (pattern == u"*") return true;
  if (!pattern.empty() && pattern.back() == u'*') {
    auto prefix = pattern.substr(0, pattern.size() - 1);
    return target.size() >= prefix.size() && EqualNoCase(prefix, target.substr(0, prefix.size()));
  }
  return EqualNoCase(pattern, target);
}

}  // namespace

// Whether the current device has any fault armed, remembered until the fault
// counter moves: most calls of most programs run with no fault at all and
// should not pay a query for it.
bool AnyFaultArmed(Device* dev) {
  struct Known {
    const Device* device = nullptr;
    uint64_t generation = 0;
    bool armed = true;
  };
  static std::mutex mutex;
  static Known known;
  uint64_t generation = ReadSharedCounter(SharedCounter::kFaults);
  {
    std::lock_guard lock(mutex);
    if (known.device == dev && known.generation == generation) return known.armed;
  }
  auto stmt = dev->Db().Cached("SELECT 1 FROM faults WHERE remaining != 0 LIMIT 1");
  bool armed = stmt->Step();
  std::lock_guard lock(mutex);
  known = {dev, generation, armed};
  return armed;
}

bool TakeFault(std::string_view op, std::u16string_view target, DWORD* value) {
  Device* dev = Device::Current();
  if (!dev || !AnyFaultArmed(dev)) return false;
  SqlDb& db = dev->Db();
  int64_t hit_id = 0, hit_remaining = 0;
  DWORD error = 0;
  {
    auto stmt = db.Cached("SELECT id, target, error, remaining FROM faults WHERE op = ? AND remaining != 0 ORDER BY id");
    stmt->Bind(1, op);
    while (stmt->Step()) {
      if (Matches(stmt->Text16(1), target)) {
        hit_id = stmt->Int(0);
        error = static_cast<DWORD>(stmt->Int(2));
        hit_remaining = stmt->Int(3);
        break;
      }
    }
  }
  if (!hit_id) return false;
  if (hit_remaining > 0) {
    auto upd = db.Cached("UPDATE faults SET remaining = remaining - 1 WHERE id = ?");
    upd->Bind(1, hit_id).Run();
  }
  JournalAppend("fault", std::string(op) + " " + ToUtf8(target) + " error " + std::to_string(error));
  if (error == kFaultEndsProgram) host::EndAsKilled();
  *value = error;
  return true;
}

DWORD InjectedFault(std::string_view op, std::u16string_view target) {
  DWORD error = 0;
  return TakeFault(op, target, &error) ? error : 0;
}

bool FaultArmed(std::string_view op, std::u16string_view target) {
  Device* dev = Device::Current();
  if (!dev || !AnyFaultArmed(dev)) return false;
  auto stmt = dev->Db().Cached("SELECT target FROM faults WHERE op = ? AND remaining != 0 ORDER BY id");
  stmt->Bind(1, op);
  while (stmt->Step()) {
    if (Matches(stmt->Text16(0), target)) return true;
  }
  return false;
}

bool AddFault(std::string_view op, std::u16string_view target, DWORD error, int count) {
  Device* dev = Device::Current();
  if (!dev) return false;
  auto stmt = dev->Db().Cached("INSERT INTO faults(op, target, error, remaining) VALUES(?,?,?,?)");
  bool ok =
      stmt->Bind(1, op).Bind(2, target).Bind(3, static_cast<int64_t>(error)).Bind(4, static_cast<int64_t>(count)).Run();
  BumpSharedCounter(SharedCounter::kFaults);
  return ok;
}

void ClearFaults() {
  Device* dev = Device::Current();
  if (!dev) return;
  dev->Db().Exec("DELETE FROM faults");
  BumpSharedCounter(SharedCounter::kFaults);
}

std::vector<FaultEntry> ListFaults() {
  std::vector<FaultEntry> out;
  Device* dev = Device::Current();
  if (!dev) return out;
  auto stmt = dev->Db().Cached("SELECT op, target, error, remaining FROM faults WHERE remaining != 0 ORDER BY id");
  while (stmt->Step()) {
    out.push_back({stmt->Text(0), stmt->Text16(1), static_cast<DWORD>(stmt->Int(2)), static_cast<int>(stmt->Int(3))});
  }
  return out;
}

}  // namespace cedev

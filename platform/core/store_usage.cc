#include "store_usage.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "device_folder.h"
#include "shared_counters.h"

namespace cedev {
namespace {

uint64_t SumOf(Device& device, const char* sql) {
  auto stmt = device.Db().Cached(sql);
  return stmt->Step() ? static_cast<uint64_t>(stmt->Int(0)) : 0;
}

uint64_t CountRegistry(Device& device) {
  return SumOf(device, "SELECT COALESCE(SUM(" REG_KEY_SIZE_SQL "), 0) FROM reg_keys") +
         SumOf(device, "SELECT COALESCE(SUM(" REG_VALUE_SIZE_SQL "), 0) FROM reg_values");
}

uint64_t CountDatabases(Device& device) {
  return SumOf(device, "SELECT COALESCE(SUM(size), 0) FROM db_objects") +
         SumOf(device, "SELECT COUNT(*) * 64 FROM db_databases");  // a description, roughly a CEDBASEINFO each
}

// A figure counted from the rows and trusted while the shared change counter
// stands where it stood when the figure was made (or last moved by this
// process's own change).
class CountedFigure {
 public:
  CountedFigure(SharedCounter counter, uint64_t (*count)(Device&)) : counter_(counter), count_(count) {}

  uint64_t Get() {
    Device* device = Device::Current();
    if (!device) return 0;
    std::lock_guard lock(mutex_);
    uint64_t now = ReadSharedCounter(counter_);
    if (valid_ && device == device_ && now == at_) return static_cast<uint64_t>(std::max<int64_t>(bytes_, 0));
    bytes_ = static_cast<int64_t>(count_(*device));
    device_ = device;
    at_ = now;
    // A change under way may be committed already and not yet announced;
    // it cannot be announced while the lock is held, so it is still counted
    // as under way here.
    valid_ = changes_under_way_.load() == 0;
    return static_cast<uint64_t>(bytes_);
  }

  void ChangeBegins() { ++changes_under_way_; }
  void ChangeEnds() { --changes_under_way_; }

  // Announces this process's committed change; `known` says whether `size_change` is what it did to the figure.
  void Announce(bool known, int64_t size_change) {
    Device* device = Device::Current();
    std::lock_guard lock(mutex_);
    uint64_t before = BumpSharedCounter(counter_);
    if (known && valid_ && device == device_ && before == at_) {
      bytes_ += size_change;
      at_ = before + 1;
    } else {
      valid_ = false;
    }
  }

 private:
  const SharedCounter counter_;
  uint64_t (*const count_)(Device&);
  std::mutex mutex_;
  std::atomic<int> changes_under_way_{0};
  bool valid_ = false;
  const Device* device_ = nullptr;  // devices are never freed, so a pointer names one
  uint64_t at_ = 0;
  int64_t bytes_ = 0;
};

CountedFigure& RegistryFigure() {
  static auto* figure = new CountedFigure(SharedCounter::kRegistry, CountRegistry);
  return *figure;
}

CountedFigure& DatabaseFigure() {
  static auto* figure = new CountedFigure(SharedCounter::kDatabases, CountDatabases);
  return *figure;
}

}  // namespace

uint64_t RegistryBytesUsed() { return RegistryFigure().Get(); }

uint64_t DatabaseBytesUsed() { return DatabaseFigure().Get(); }

RegistryChange::RegistryChange() { RegistryFigure().ChangeBegins(); }

RegistryChange::~RegistryChange() { RegistryFigure().ChangeEnds(); }

void RegistryChange::Committed(int64_t size_change) { RegistryFigure().Announce(true, size_change); }

void RegistryChange::CommittedOfUnknownSize() { RegistryFigure().Announce(false, 0); }

}  // namespace cedev

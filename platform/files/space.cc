#include "space.h"

#include <mutex>
#include <set>
#include <utility>

#include "host_files.h"
#include "store_usage.h"

namespace cedev {
namespace {

uint64_t QuotaOf(Device& device, const HostPath& where) {
  std::shared_ptr<const DeviceSettings> settings = device.SettingsSnapshot();
  if (where.kind == RootKind::kStore) return settings->store_capacity;
  for (const auto& v : settings->volumes) {
    if (v.name == where.volume) return v.quota;
  }
  return 0;
}

// Re-counts a space from the host the first time this process uses it.
void RebaseOnce(Device& device, const HostPath& where) {
  static std::mutex mutex;
  static std::set<std::pair<Device*, std::string>> done;
  std::lock_guard lock(mutex);
  if (!done.insert({&device, where.SpaceKey()}).second) return;
  auto stmt = device.Db().Cached("INSERT OR REPLACE INTO space_usage(space, bytes) VALUES(?, ?)");
  stmt->Bind(1, where.SpaceKey()).Bind(2, static_cast<int64_t>(host::FileBytesUnder(where.root))).Run();
}

uint64_t FileBytesUsed(Device& device, const HostPath& where) {
  RebaseOnce(device, where);
  auto stmt = device.Db().Cached("SELECT bytes FROM space_usage WHERE space = ?");
  stmt->Bind(1, where.SpaceKey());
  return stmt->Step() ? static_cast<uint64_t>(std::max<int64_t>(0, stmt->Int(0))) : 0;
}

}  // namespace

uint64_t ObjectStoreNonFileBytes() { return RegistryBytesUsed() + DatabaseBytesUsed(); }

bool IsSpaceLimited(Device& device, const HostPath& where) { return QuotaOf(device, where) != 0; }

SpaceFigures FiguresOf(Device& device, const HostPath& where) {
  SpaceFigures f;
  f.total = QuotaOf(device, where);
  f.limited = f.total != 0;
  if (!f.limited) return f;
  f.used = FileBytesUsed(device, where);
  if (where.kind == RootKind::kStore) f.used += ObjectStoreNonFileBytes();
  return f;
}

uint64_t SpaceAllowance(Device& device, const HostPath& where) {
  SpaceFigures f = FiguresOf(device, where);
  return f.limited ? f.Free() : kUnlimited;
}

bool ObjectStoreHasRoom(Device& device, uint64_t bytes) {
  HostPath store;
  store.kind = RootKind::kStore;
  store.root = device.StoreDir().string();
  return SpaceAllowance(device, store) >= bytes;
}

void AdjustSpaceUsed(Device& device, const HostPath& where, int64_t delta) {
  if (delta == 0 || !IsSpaceLimited(device, where)) return;
  RebaseOnce(device, where);
  auto stmt = device.Db().Cached("UPDATE space_usage SET bytes = max(0, bytes + ?) WHERE space = ?");
  stmt->Bind(1, delta).Bind(2, where.SpaceKey()).Run();
}

}  // namespace cedev

#include "device_mutex.h"

namespace cedev {
namespace {

constexpr size_t kFileSize = 4096;
constexpr uint64_t kReady = 0x544C564D55544558ull;  // "TLVMUTEX"

}  // namespace

std::unique_ptr<DeviceMutex> DeviceMutex::Open(const std::string& path) {
  static_assert(sizeof(Shared) <= kFileSize);
  auto region = SharedRegion::Open(path, kFileSize, kReady,
                                   [](void* data) { return SetUpRobustMutex(&static_cast<Shared*>(data)->mutex); });
  return region ? std::unique_ptr<DeviceMutex>(new DeviceMutex(std::move(region))) : nullptr;
}

bool DeviceMutex::Lock() { return LockRobustMutex(&shared_->mutex); }

void DeviceMutex::Unlock() { UnlockRobustMutex(&shared_->mutex); }

}  // namespace cedev

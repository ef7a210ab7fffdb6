#include "held_files.h"

#include <memory>
#include <vector>

#include "ce/errors.h"
#include "wstr.h"

namespace cedev {
namespace {

// The list of the settings in use, folded once per change of device.json
// rather than on every file operation.
const std::vector<std::u16string>& HeldKeys(Device& device) {
  struct Cache {
    std::shared_ptr<const DeviceSettings> settings;
    std::vector<std::u16string> keys;
  };
  thread_local Cache cache;
  std::shared_ptr<const DeviceSettings> settings = device.SettingsSnapshot();
  if (settings != cache.settings) {
    cache.keys.clear();
    for (const std::string& path : settings->held_files) cache.keys.push_back(HeldPathKey(FromUtf8(path)));
    cache.settings = std::move(settings);
  }
  return cache.keys;
}

}  // namespace

std::u16string HeldPathKey(std::u16string_view device_path) {
  std::u16string path(device_path);
  for (char16_t& c : path)
    if (c == u'/') c = u'\\';
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  if (path.empty() || path.front() != u'\\') path.insert(path.begin(), u'\\');
  return Fold(path);
}

DWORD CheckNotHeldBySystem(Device& device, const HostPath& where) {
  if (!where.exists || where.IsDir()) return 0;
  const std::vector<std::u16string>& held = HeldKeys(device);
  if (held.empty()) return 0;
  std::u16string key = HeldPathKey(where.device);
  for (const std::u16string& listed : held)
    if (listed == key) return ERROR_SHARING_VIOLATION;
  return 0;
}

}  // namespace cedev

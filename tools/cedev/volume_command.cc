// `cedev volume`: storage volumes come and go as cards do, and the running
// programs hear of it.
#include <filesystem>
#include <optional>
#include <windows.h>

#include "commands.h"
#include "device_folder.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

std::optional<uint64_t> ParseQuota(const std::string& text) {
  uint64_t scale = 1;
  std::string digits = text;
  switch (digits.empty() ? '\0' : digits.back()) {
    case 'K': case 'k': scale = 1ull << 10; break;
    case 'M': case 'm': scale = 1ull << 20; break;
    case 'G': case 'g': scale = 1ull << 30; break;
    default: break;
  }
  if (scale != 1) digits.pop_back();
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 12) {
    return std::nullopt;
  }
  return std::stoull(digits) * scale;
}

// Names at the root compare without regard to case, as device paths do.
bool SameName(const std::string& a, const std::string& b) { return EqualNoCase(FromUtf8(a), FromUtf8(b)); }

// A folder name at the root: no separators, nothing a path could escape with.
bool GoodName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:*?\"<>|") == std::string::npos &&
         name.size() < 128;
}

int Add(CommandContext& ctx, const std::string& name, uint64_t quota) {
  bool existed = false;
  bool ok = Device::Current()->UpdateSettings([&](DeviceSettings& s) {
    for (const auto& v : s.volumes) existed = existed || SameName(v.name, name);
    if (!existed) s.volumes.push_back({name, quota});
  });
  if (!ok) return Failure(ctx, Device::Current()->SettingsPath().string() + ": cannot write the settings");
  if (existed) return Failure(ctx, "volume '" + name + "' is mounted already");
  std::error_code ec;
  std::filesystem::create_directories(Device::Current()->VolumeDir(name), ec);
  PostMessageW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  return kExitOk;
}

int Remove(CommandContext& ctx, const std::string& name) {
  bool found = false;
  bool ok = Device::Current()->UpdateSettings([&](DeviceSettings& s) {
    size_t before = s.volumes.size();
    std::erase_if(s.volumes, [&](const VolumeSetting& v) { return SameName(v.name, name); });
    found = s.volumes.size() != before;
  });
  if (!ok) return Failure(ctx, Device::Current()->SettingsPath().string() + ": cannot write the settings");
  if (!found) return Failure(ctx, "no volume named '" + name + "'");
  PostMessageW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
  return kExitOk;
}

}  // namespace

int RunVolume(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "volume");
  CLI::App& app = parser.app();
  app.require_subcommand(1);
  std::string name, quota_text;
  CLI::App* add = app.add_subcommand("add");
  add->add_option("NAME", name)->required();
  CLI::Option* quota_given = add->add_option("QUOTA", quota_text);
  app.add_subcommand("remove")->add_option("NAME", name)->required();
  if (auto code = parser.Parse(args)) return *code;
  if (!GoodName(name)) return parser.UsageError("'" + name + "' is no folder name");
  if (!add->parsed()) {
    if (!OpenDevice(ctx)) return kExitFailure;
    return Remove(ctx, name);
  }
  auto quota = quota_given->count() ? ParseQuota(quota_text) : std::optional<uint64_t>(0);
  if (!quota) return parser.UsageError("'" + quota_text + "' is no size (bytes, or with K, M, G)");
  if (!OpenDevice(ctx)) return kExitFailure;
  return Add(ctx, name, *quota);
}

}  // namespace cedev::tool

// `cedev set KEY VALUE`: one setter per key of device.json that a user or a
// test changes.
#include <cstdlib>
#include <optional>
#include <sstream>
#include <windows.h>

#include "commands.h"
#include "device_folder.h"

namespace cedev::tool {
namespace {

// Each setter checks VALUE and changes the settings, or returns why not.
using Setter = std::optional<std::string> (*)(DeviceSettings& s, const std::string& value);

std::optional<long long> ParseInt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (*end != '\0') return std::nullopt;
  return v;
}

std::optional<bool> ParseOnOff(const std::string& text) {
  if (text == "on" || text == "1" || text == "yes" || text == "true") return true;
  if (text == "off" || text == "0" || text == "no" || text == "false") return false;
  return std::nullopt;
}

std::optional<std::string> Percent(int* field, const std::string& value) {
  auto v = ParseInt(value);
  if (!v || ((*v < 0 || *v > 100) && *v != 255)) return "a percentage 0..100, or 255 for unknown";
  *field = static_cast<int>(*v);
  return std::nullopt;
}

// "90", "90s", "-15m", "2h", "1d", "1500ms": the clock offset in milliseconds.
std::optional<long long> ParseDuration(const std::string& text) {
  static const std::pair<const char*, long long> kUnits[] = {{"ms", 1}, {"s", 1000}, {"m", 60000}, {"h", 3600000},
                                                              {"d", 86400000}};
  for (const auto& [suffix, scale] : kUnits) {
    std::string s = suffix;
    if (text.size() > s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0) {
      auto v = ParseInt(text.substr(0, text.size() - s.size()));
      if (v) return *v * scale;
    }
  }
  auto seconds = ParseInt(text);
  if (seconds) return *seconds * 1000;
  return std::nullopt;
}

std::optional<unsigned long long> ParseBytes(const std::string& text) {
  unsigned long long scale = 1;
  std::string digits = text;
  if (!digits.empty()) {
    switch (digits.back()) {
      case 'K': case 'k': scale = 1ull << 10; break;
      case 'M': case 'm': scale = 1ull << 20; break;
      case 'G': case 'g': scale = 1ull << 30; break;
      default: break;
    }
    if (scale != 1) digits.pop_back();
  }
  auto v = ParseInt(digits);
  if (!v || *v < 0) return std::nullopt;
  return static_cast<unsigned long long>(*v) * scale;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (!item.empty()) out.push_back(item);
  }
  return out;
}

std::optional<std::string> SetBattery(DeviceSettings& s, const std::string& v) { return Percent(&s.battery_percent, v); }
std::optional<std::string> SetBackupBattery(DeviceSettings& s, const std::string& v) {
  return Percent(&s.backup_battery_percent, v);
}

std::optional<std::string> SetAc(DeviceSettings& s, const std::string& v) {
  auto on = ParseOnOff(v);
  if (!on) return "on or off";
  s.ac_line = *on;
  return std::nullopt;
}

// A raw power reading (0..255) that replaces the one made from the battery
// and AC settings, or "made" to go back to that.
std::optional<std::string> RawReading(int* field, const std::string& value) {
  if (value == "made") {
    *field = -1;
    return std::nullopt;
  }
  auto v = ParseInt(value);
  if (!v || *v < 0 || *v > 255) return "a reading 0..255 (e.g. 0x04, 255), or made";
  *field = static_cast<int>(*v);
  return std::nullopt;
}

std::optional<std::string> SetAcStatus(DeviceSettings& s, const std::string& v) {
  return RawReading(&s.ac_line_status, v);
}
std::optional<std::string> SetBatteryFlag(DeviceSettings& s, const std::string& v) {
  return RawReading(&s.battery_flag, v);
}

std::optional<std::string> SetPlatform(DeviceSettings& s, const std::string& v) {
  if (v.size() > 48) return "at most 48 characters";
  s.platform_type = v;
  return std::nullopt;
}

std::optional<std::string> SetKeys(DeviceSettings& s, const std::string& v) {
  std::vector<int> keys;
  if (v != "none" && !v.empty()) {
    for (const auto& item : SplitList(v)) {
      // One character names the key itself ("5" is the [5] key, whose
      // virtual-key code is its ASCII code); anything longer is a code.
      std::optional<long long> code;
      if (item.size() == 1 && std::isalnum(static_cast<unsigned char>(item[0]))) {
        code = std::toupper(static_cast<unsigned char>(item[0]));
      } else {
        code = ParseInt(item);
      }
      if (!code || *code <= 0 || *code > 255) return "keys (5, A) or virtual-key codes (0x35, 53), comma-separated, or none";
      keys.push_back(static_cast<int>(*code));
    }
  }
  s.keys_held = keys;
  return std::nullopt;
}

std::optional<std::string> SetClockOffset(DeviceSettings& s, const std::string& v) {
  auto ms = ParseDuration(v);
  if (!ms) return "a duration such as 3600, -90s, 15m, 2h, 1d or 250ms (plain numbers are seconds)";
  s.clock_offset_ms = *ms;
  return std::nullopt;
}

std::optional<std::string> SetTimeScale(DeviceSettings& s, const std::string& v) {
  char* end = nullptr;
  double scale = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || !(scale > 0) || scale > 1e6) return "a factor greater than 0 (1 = real time)";
  s.time_scale = scale;
  return std::nullopt;
}

std::optional<std::string> SetLanguage(DeviceSettings& s, const std::string& v) {
  if (v == "ja" || v == "japanese") {
    s.ui_language = 0x0411;
  } else if (v == "en" || v == "english") {
    s.ui_language = 0x0409;
  } else {
    auto id = ParseInt(v);
    if (!id || *id <= 0 || *id > 0xFFFF) return "ja, en, or a language id such as 0x0409";
    s.ui_language = static_cast<uint16_t>(*id);
  }
  return std::nullopt;
}

std::optional<std::string> SetTimezone(DeviceSettings& s, const std::string& v) {
  auto bias = ParseInt(v);
  if (!bias || *bias < -14 * 60 || *bias > 14 * 60) return "the bias in minutes (UTC = local + bias), e.g. -540";
  s.timezone_bias_minutes = static_cast<int>(*bias);
  return std::nullopt;
}

std::optional<std::string> SetCapacity(DeviceSettings& s, const std::string& v) {
  auto bytes = ParseBytes(v);
  if (!bytes || *bytes == 0) return "a size in bytes, e.g. 33554432 or 32M";
  s.store_capacity = *bytes;
  return std::nullopt;
}

std::optional<std::string> SetQuota(DeviceSettings& s, const std::string& v) {
  size_t eq = v.find('=');
  auto bytes = eq == std::string::npos ? std::nullopt : ParseBytes(v.substr(eq + 1));
  if (!bytes) return "VOLUME=SIZE, e.g. FlashDisk=64M (0 = no quota)";
  for (auto& vol : s.volumes) {
    if (vol.name == v.substr(0, eq)) {
      vol.quota = *bytes;
      return std::nullopt;
    }
  }
  return "no volume named '" + v.substr(0, eq) + "'";
}

std::optional<std::string> SetAutostart(DeviceSettings& s, const std::string& v) {
  s.autostart = v == "default" ? std::vector<std::string>{} : SplitList(v);
  return std::nullopt;
}

std::optional<std::string> SetWelcome(DeviceSettings& s, const std::string& v) {
  s.welcome_program = v == "none" ? std::string() : v;
  return std::nullopt;
}

std::optional<std::string> SetEeprom(DeviceSettings& s, const std::string& v) {
  if (v == "none") {
    s.has_eeprom = false;
    return std::nullopt;
  }
  // OFFSET=HEXBYTES changes bytes from OFFSET on.
  size_t eq = v.find('=');
  auto offset = eq == std::string::npos ? std::nullopt : ParseInt(v.substr(0, eq));
  std::string hex = eq == std::string::npos ? "" : v.substr(eq + 1);
  if (!offset || *offset < 0 || hex.empty() || hex.size() % 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return "OFFSET=HEXBYTES (e.g. 0x23=40), or none";
  }
  size_t end = static_cast<size_t>(*offset) + hex.size() / 2;
  if (end > 65536) return "the EEPROM holds at most 64 KiB";
  if (s.eeprom.size() < end) s.eeprom.resize(end, 0xFF);
  for (size_t i = 0; i < hex.size(); i += 2) {
    s.eeprom[static_cast<size_t>(*offset) + i / 2] = static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16));
  }
  s.has_eeprom = true;
  return std::nullopt;
}

// "auto [DELAY_MS]" or "none": the automatic device user.
std::optional<std::string> SetUser(DeviceSettings& s, const std::string& v) {
  std::istringstream words(v);
  std::string mode, delay, extra;
  words >> mode >> delay >> extra;
  if (mode == "none" && delay.empty()) {
    s.auto_user = false;
    return std::nullopt;
  }
  auto ms = delay.empty() ? std::optional<long long>(500) : ParseInt(delay);
  if (mode != "auto" || !extra.empty() || !ms || *ms < 0 || *ms > 3600000) {
    return "auto, auto DELAY_MS (0..3600000) or none";
  }
  s.auto_user = true;
  s.auto_user_delay_ms = static_cast<int>(*ms);
  return std::nullopt;
}

std::optional<std::string> SetOrientation(DeviceSettings& s, const std::string& v) {
  if (v != "portrait" && v != "landscape") return "portrait or landscape";
  s.landscape = v == "landscape";
  return std::nullopt;
}

// Every top-level window of the running programs hears that the screen
// turned, as on the device.
void TellScreenTurned() { PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0); }

struct SetKey {
  const char* name;
  const char* help;
  Setter set;
  void (*changed)() = nullptr;  // what follows a change, for the running programs
};

const SetKey kKeys[] = {
    {"battery", "main battery, percent (0..100, 255 unknown)", SetBattery},
    {"backup-battery", "backup battery, percent", SetBackupBattery},
    {"ac", "AC power: on or off", SetAc},
    {"ac-status", "AC line status as the power driver reports it (0..255, 255 unknown), or made", SetAcStatus},
    {"battery-flag", "battery flag as the power driver reports it (0..255, e.g. 4 critical), or made",
     SetBatteryFlag},
    {"platform", "platform type that KernelIoControl reports (e.g. Tovak)", SetPlatform},
    {"keys", "keys held down: keys (5, A) or codes (0x35), comma-separated, or none", SetKeys},
    {"clock-offset", "device clock minus host clock: 3600, -90s, 15m, 2h, 1d, 250ms", SetClockOffset},
    {"time-scale", "factor that shortens every Sleep, wait and timer (1 = real time)", SetTimeScale},
    {"language", "UI language: ja, en or a language id", SetLanguage},
    {"timezone", "time-zone bias in minutes (UTC = local + bias)", SetTimezone},
    {"store-capacity", "object-store capacity: bytes, or with K, M, G", SetCapacity},
    {"quota", "volume quota: VOLUME=SIZE (0 = none)", SetQuota},
    {"autostart", "programs run at boot, comma-separated device paths, or default", SetAutostart},
    {"welcome", "welcome program run after a full reset, or none", SetWelcome},
    {"eeprom", "EEPROM bytes: OFFSET=HEXBYTES, or none", SetEeprom},
    {"orientation", "screen orientation: portrait (240 x 320) or landscape (320 x 240)", SetOrientation,
     TellScreenTurned},
    {"user", "automatic device user: auto [DELAY_MS] (default 500) or none", SetUser},
};

}  // namespace

const char* SetKeysHelp() {
  static const std::string text = [] {
    std::string t;
    for (const auto& k : kKeys) {
      std::string name = k.name;
      name.resize(16, ' ');
      t += "  " + name + k.help + "\n";
    }
    return t;
  }();
  return text.c_str();
}

int RunSet(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "set");
  std::vector<std::string> names;
  for (const auto& k : kKeys) names.push_back(k.name);
  std::string name;
  std::vector<std::string> words;
  parser.app().add_option("KEY", name)->required()->check(tlvcli::OneOf(names));
  parser.app().add_option("VALUE", words)->required();
  if (auto code = parser.Parse(args)) return *code;
  // A value may be more than one word ("user auto 300").
  std::string value = words[0];
  for (size_t i = 1; i < words.size(); ++i) value += " " + words[i];
  const SetKey* key = nullptr;
  for (const auto& k : kKeys) {
    if (name == k.name) key = &k;
  }
  if (!OpenDevice(ctx)) return kExitFailure;
  DeviceSettings probe = Device::Current()->Settings();
  if (auto why = key->set(probe, value)) return Usage(ctx, "set", name + ": '" + value + "' is not " + *why);
  bool ok = Device::Current()->UpdateSettings([&](DeviceSettings& s) { key->set(s, value); });
  if (!ok) return Failure(ctx, (Device::Current()->SettingsPath()).string() + ": cannot write the settings");
  if (key->changed) key->changed();
  return kExitOk;
}

}  // namespace cedev::tool

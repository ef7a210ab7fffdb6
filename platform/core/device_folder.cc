#include "device_folder.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ce/errors.h"
#include "handles.h"
#include "host_device_folder.h"
#include "host_locks.h"
#include "host_time.h"
#include "schema.h"

namespace cedev {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::mutex g_current_mutex;
Device* g_current = nullptr;
std::vector<std::unique_ptr<Device>>* g_retired = new std::vector<std::unique_ptr<Device>>;
std::atomic<uint64_t> g_next_generation{1};

std::string HexOf(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::vector<uint8_t> BytesOfHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

json ToJson(const DeviceSettings& s) {
  json volumes = json::array();
  for (const auto& v : s.volumes) volumes.push_back({{"name", v.name}, {"quota", v.quota}});
  return json{{"platform_type", s.platform_type},
              {"ui_language", s.ui_language},
              {"ac_line", s.ac_line},
              {"battery_percent", s.battery_percent},
              {"backup_battery_percent", s.backup_battery_percent},
              {"ac_line_status", s.ac_line_status},
              {"battery_flag", s.battery_flag},
              {"store_capacity", s.store_capacity},
              {"startup_folder", s.startup_folder},
              {"has_eeprom", s.has_eeprom},
              {"eeprom", HexOf(s.eeprom)},
              {"keys_held", s.keys_held},
              {"volumes", volumes},
              {"mounted_folders", s.mounted_folders},
              {"held_files", s.held_files},
              {"autostart", s.autostart},
              {"welcome_program", s.welcome_program},
              {"clock_offset_ms", s.clock_offset_ms},
              {"timezone_bias_minutes", s.timezone_bias_minutes},
              {"time_scale", s.time_scale},
              {"orientation", s.landscape ? "landscape" : "portrait"},
              {"user", s.auto_user ? "auto" : "none"},
              {"user_delay_ms", s.auto_user_delay_ms}};
}

template <class T>
void Take(const json& j, const char* key, T* out) {
  if (j.contains(key)) *out = j.at(key).get<T>();
}

DeviceSettings FromJson(const json& j) {
  DeviceSettings s;
  Take(j, "platform_type", &s.platform_type);
  Take(j, "ui_language", &s.ui_language);
  Take(j, "ac_line", &s.ac_line);
  Take(j, "battery_percent", &s.battery_percent);
  Take(j, "backup_battery_percent", &s.backup_battery_percent);
  Take(j, "ac_line_status", &s.ac_line_status);
  Take(j, "battery_flag", &s.battery_flag);
  Take(j, "store_capacity", &s.store_capacity);
  Take(j, "startup_folder", &s.startup_folder);
  Take(j, "has_eeprom", &s.has_eeprom);
  if (j.contains("eeprom")) s.eeprom = BytesOfHex(j.at("eeprom").get<std::string>());
  Take(j, "keys_held", &s.keys_held);
  if (j.contains("volumes")) {
    for (const auto& v : j.at("volumes")) {
      VolumeSetting vs;
      Take(v, "name", &vs.name);
      Take(v, "quota", &vs.quota);
      s.volumes.push_back(vs);
    }
  }
  Take(j, "mounted_folders", &s.mounted_folders);
  Take(j, "held_files", &s.held_files);
  Take(j, "autostart", &s.autostart);
  Take(j, "welcome_program", &s.welcome_program);
  Take(j, "clock_offset_ms", &s.clock_offset_ms);
  Take(j, "timezone_bias_minutes", &s.timezone_bias_minutes);
  Take(j, "time_scale", &s.time_scale);
  if (!(s.time_scale > 0)) s.time_scale = 1.0;
  if (j.contains("orientation")) s.landscape = j.at("orientation").get<std::string>() == "landscape";
  if (j.contains("user")) s.auto_user = j.at("user").get<std::string>() == "auto";
  Take(j, "user_delay_ms", &s.auto_user_delay_ms);
  if (s.auto_user_delay_ms < 0) s.auto_user_delay_ms = 0;
  return s;
}

// Holds an exclusive lock on DIR/run/settings.lock for a settings update.
class SettingsLock {
 public:
  explicit SettingsLock(const fs::path& run_dir) : guard_(Prepared(run_dir)) {}

 private:
  static std::string Prepared(const fs::path& run_dir) {
    std::error_code ec;
    fs::create_directories(run_dir, ec);
    return (run_dir / "settings.lock").string();
  }
  host::LockFileGuard guard_;
};

// Commits reach the write-ahead log without a sync; each checkpoint syncs
// the log and the database file. With the default of a checkpoint per 4 MiB
// of log those syncs were a large share of what a small commit costs (a
// registry write appends two pages); one per 32 MiB makes them rare.
// RegFlushKey still checkpoints whenever a program asks for durability.
void TuneConnection(SqlDb& db) { db.Exec("PRAGMA wal_autocheckpoint=8192"); }

}  // namespace

bool LoadSettingsFile(const fs::path& path, DeviceSettings* out, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = path.string() + ": cannot open settings";
    return false;
  }
  try {
    *out = FromJson(json::parse(in));
  } catch (const std::exception& e) {
    if (error) *error = path.string() + ": " + e.what();
    return false;
  }
  return true;
}

bool SaveSettingsFile(const fs::path& path, const DeviceSettings& settings, std::string* error) {
  fs::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << ToJson(settings).dump(2) << "\n";
    if (!out) {
      if (error) *error = temp.string() + ": cannot write settings";
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    if (error) *error = path.string() + ": " + ec.message();
    return false;
  }
  return true;
}

Device* Device::Current() {
  std::lock_guard lock(g_current_mutex);
  if (!g_current) {
    fs::path dir = host::DefaultDeviceFolder();
    std::error_code ec;
    if (fs::exists(dir / "device.json", ec)) {
      g_current = new Device(fs::absolute(dir, ec));
      g_current->generation_ = g_next_generation++;
    }
  }
  if (!g_current) SetLastError(ERROR_NOT_READY);
  return g_current;
}

bool Device::Use(const fs::path& dir) {
  ReleaseAllHandles();
  std::lock_guard lock(g_current_mutex);
  if (g_current) g_retired->emplace_back(g_current);  // other threads may still hold it
  g_current = nullptr;
  if (dir.empty()) return true;
  std::error_code ec;
  if (!fs::exists(dir / "device.json", ec)) return false;
  g_current = new Device(fs::absolute(dir, ec));
  g_current->generation_ = g_next_generation++;
  return true;
}

namespace {

constexpr int64_t kSettingsRecheckNs = 5000000;

int64_t CoarseNowNs() { return host::CoarseMonotonicNs(); }

}  // namespace

bool Device::LoadSettingsLocked() {
  settings_checked_ns_ = CoarseNowNs();
  std::error_code ec;
  auto mtime = fs::last_write_time(SettingsPath(), ec);
  if (ec) return false;
  if (settings_ && mtime == settings_mtime_) return true;
  auto loaded = std::make_shared<DeviceSettings>();
  if (!LoadSettingsFile(SettingsPath(), loaded.get(), nullptr)) return false;
  settings_ = std::move(loaded);
  settings_mtime_ = mtime;
  return true;
}

DeviceSettings Device::Settings() {
  std::lock_guard lock(settings_mutex_);
  LoadSettingsLocked();
  return settings_ ? *settings_ : DeviceSettings{};
}

std::shared_ptr<const DeviceSettings> Device::SettingsSnapshot() {
  std::lock_guard lock(settings_mutex_);
  if (!settings_ || CoarseNowNs() - settings_checked_ns_ >= kSettingsRecheckNs) LoadSettingsLocked();
  if (!settings_) settings_ = std::make_shared<DeviceSettings>();
  return settings_;
}

bool Device::UpdateSettingsImpl(const std::function<void(DeviceSettings&)>& change) {
  SettingsLock file_lock(RunDir());
  std::lock_guard lock(settings_mutex_);
  settings_mtime_ = {};
  if (!LoadSettingsLocked()) return false;
  auto changed = std::make_shared<DeviceSettings>(*settings_);
  change(*changed);
  if (!SaveSettingsFile(SettingsPath(), *changed, nullptr)) return false;
  settings_mtime_ = {};
  settings_.reset();
  return LoadSettingsLocked();
}

SqlDb& Device::Db() {
  struct ThreadConnection {
    uint64_t generation = 0;
    SqlDb db;
  };
  thread_local ThreadConnection conn;
  if (conn.generation != generation_ || !conn.db.IsOpen()) {
    conn.db.Close();
    if (conn.db.Open(StateDbPath().string())) {
      conn.db.SetCommitListener([](SharedCounter counter) { BumpSharedCounter(counter); });
      TuneConnection(conn.db);
      CreateStateSchema(conn.db);
    }
    conn.generation = generation_;
  }
  return conn.db;
}

SharedCounters& Device::Counters() {
  std::call_once(counters_once_, [&] { counters_ = std::make_unique<SharedCounters>(RunDir().string()); });
  return *counters_;
}

uint64_t ReadSharedCounter(SharedCounter counter) {
  Device* device = Device::Current();
  return device ? device->Counters().Read(counter) : UntrustedCounterValue();
}

uint64_t BumpSharedCounter(SharedCounter counter) {
  Device* device = Device::Current();
  return device ? device->Counters().Bump(counter) : UntrustedCounterValue();
}

bool Device::Create(const fs::path& dir, const DeviceSettings& settings, std::string* error) {
  std::error_code ec;
  for (const char* sub : {"store", "volumes", "factory", "run"}) {
    fs::create_directories(dir / sub, ec);
    if (ec) {
      if (error) *error = (dir / sub).string() + ": " + ec.message();
      return false;
    }
  }
  for (const auto& v : settings.volumes) fs::create_directories(dir / "volumes" / v.name, ec);
  if (!SaveSettingsFile(dir / "device.json", settings, error)) return false;
  SqlDb db;
  if (!db.Open((dir / "state.db").string()) || !CreateStateSchema(db)) {
    if (error) *error = (dir / "state.db").string() + ": cannot create the state database";
    return false;
  }
  return true;
}

}  // namespace cedev

// The device a program runs on: a folder on the host (device.json, store/,
// volumes/, state.db, factory/, run/). The process finds it through
// CEDEV_DEVICE (else ./device); tests switch devices with Device::Use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "shared_counters.h"
#include "sql.h"

namespace cedev {

struct VolumeSetting {
  std::string name;    // folder name at the root of the device, e.g. "FlashDisk"
  uint64_t quota = 0;  // bytes; 0 = limited only by the host
};

struct DeviceSettings {
  std::string platform_type = "Tovak";  // what KernelIoControl reports
  uint16_t ui_language = 0x0411;        // GetUserDefaultUILanguage
  // Power, as GetSystemPowerStatusEx reports it.
  bool ac_line = false;
  int battery_percent = 80;  // 0..100, 255 unknown
  int backup_battery_percent = 100;
  // Raw readings that replace the ones made from the fields above, for what
  // those cannot express (AC line 255 "unknown", a driver that reports the
  // critical flag alone): -1 leaves the made reading.
  int ac_line_status = -1;
  int battery_flag = -1;
  uint64_t store_capacity = 32ull << 20;  // object store, bytes
  std::string startup_folder = "\\Windows\\StartUp";
  bool has_eeprom = true;
  std::vector<uint8_t> eeprom;
  std::vector<int> keys_held;  // virtual-key codes GetAsyncKeyState reports as down
  std::vector<VolumeSetting> volumes;
  // Root folders of the store that are mounted storage (reported with the
  // directory and temporary attributes, like a volume).
  std::vector<std::string> mounted_folders;
  // Device paths of files the system itself keeps open with no sharing
  // (database volumes, registry hives, input-method files): see held_files.h.
  std::vector<std::string> held_files;
  std::vector<std::string> autostart;  // device paths of programs run at boot
  std::string welcome_program = "\\Windows\\welcome.exe";
  int64_t clock_offset_ms = 0;   // device clock = host clock + offset
  int timezone_bias_minutes = -540;  // UTC = local + bias (JST)
  double time_scale = 1.0;       // > 1 shortens every Sleep, wait and timer
  bool landscape = false;        // screen orientation: 320 x 240 instead of 240 x 320
  // The automatic device user: presses the default button of every message
  // box and OK (or close) of every dialog left open longer than the delay.
  bool auto_user = false;
  int auto_user_delay_ms = 500;
};

class Device {
 public:
  // The device of this process, opened on first use. Null (and last error
  // ERROR_NOT_READY) when there is no usable device folder.
  static Device* Current();
  // Makes `dir` the device of this process (tests, cedev). Closes every handle
  // of the previous device. An empty path forgets the current device.
  static bool Use(const std::filesystem::path& dir);

  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path StoreDir() const { return dir_ / "store"; }
  // The same as a string, made once: every path resolution starts from it.
  const std::string& StoreHost() const { return store_host_; }
  std::filesystem::path VolumesDir() const { return dir_ / "volumes"; }
  std::filesystem::path VolumeDir(const std::string& name) const { return VolumesDir() / name; }
  std::filesystem::path FactoryDir() const { return dir_ / "factory"; }
  std::filesystem::path RunDir() const { return dir_ / "run"; }
  std::filesystem::path StateDbPath() const { return dir_ / "state.db"; }
  std::filesystem::path SettingsPath() const { return dir_ / "device.json"; }

  // A snapshot of the settings, reloaded when device.json changed on disk.
  DeviceSettings Settings();
  // The same without a copy, for calls made once per file operation. The
  // file is looked at no more than once every few milliseconds: another
  // program's change shows up that much later, this program's own at once.
  std::shared_ptr<const DeviceSettings> SettingsSnapshot();
  // Read-modify-write of device.json under a lock shared by all device programs.
  template <class F>
  bool UpdateSettings(F&& change) {
    return UpdateSettingsImpl([&](DeviceSettings& s) { change(s); });
  }

  // This thread's connection to state.db; the schema exists once it returns.
  SqlDb& Db();
  // The change counters every program of this device shares.
  SharedCounters& Counters();
  // Tells this opening of a device from every other of this process, even
  // of the same folder: caches keyed by it never outlive their device.
  uint64_t Instance() const { return generation_; }

  // Writes settings and creates the folder skeleton and schema of a new device.
  static bool Create(const std::filesystem::path& dir, const DeviceSettings& settings, std::string* error);

 private:
  explicit Device(std::filesystem::path dir) : dir_(std::move(dir)), store_host_(StoreDir().string()) {}
  bool UpdateSettingsImpl(const std::function<void(DeviceSettings&)>& change);
  bool LoadSettingsLocked();

  std::filesystem::path dir_;
  std::string store_host_;
  std::mutex settings_mutex_;
  std::shared_ptr<const DeviceSettings> settings_;
  std::filesystem::file_time_type settings_mtime_{};
  int64_t settings_checked_ns_ = 0;  // coarse monotonic time of the last look
  uint64_t generation_ = 0;  // identifies this device's thread connections
  std::once_flag counters_once_;
  std::unique_ptr<SharedCounters> counters_;
  friend struct DeviceAccess;
};

// The change counters of the current device (see shared_counters.h); with no
// device every read gives a new value.
uint64_t ReadSharedCounter(SharedCounter counter);
uint64_t BumpSharedCounter(SharedCounter counter);

// Reads or writes device.json; used by Device and by cedev.
bool LoadSettingsFile(const std::filesystem::path& path, DeviceSettings* out, std::string* error);
bool SaveSettingsFile(const std::filesystem::path& path, const DeviceSettings& settings, std::string* error);

}  // namespace cedev

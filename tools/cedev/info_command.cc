// `cedev info`: the device's settings, then a summary of what it holds.
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <windows.h>

#include "commands.h"
#include "device_folder.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

namespace fs = std::filesystem;

struct FolderTotals {
  uint64_t files = 0, folders = 0, bytes = 0;
};

// Counted on the host: the store and each volume are plain host folders.
FolderTotals CountTree(const fs::path& root) {
  FolderTotals t;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec)) {
      ++t.folders;
    } else if (it->is_regular_file(ec)) {
      ++t.files;
      t.bytes += it->file_size(ec);
    }
  }
  return t;
}

struct RegTotals {
  uint64_t keys = 0, values = 0;
};

void CountKey(HKEY key, RegTotals* t) {
  WCHAR name[MAX_PATH];
  for (DWORD i = 0;; ++i) {
    DWORD len = MAX_PATH;
    if (RegEnumValueW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ++t->values;
  }
  for (DWORD i = 0;; ++i) {
    DWORD len = MAX_PATH;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ++t->keys;
    HKEY sub = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_ALL_ACCESS, &sub) == ERROR_SUCCESS) {
      CountKey(sub, t);
      RegCloseKey(sub);
    }
  }
}

std::string Size(uint64_t bytes) {
  std::ostringstream s;
  if (bytes >= (10ull << 30)) {
    s << (bytes >> 30) << " GiB";
  } else if (bytes >= (10ull << 20)) {
    s << (bytes >> 20) << " MiB";
  } else if (bytes >= (10ull << 10)) {
    s << (bytes >> 10) << " KiB";
  } else {
    s << bytes << " bytes";
  }
  return s.str();
}

std::string FreeSpace(const std::u16string& device_path) {
  ULARGE_INTEGER avail{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(device_path.c_str(), &avail, &total, &free)) return "free space unknown";
  return Size(avail.QuadPart) + " free of " + Size(total.QuadPart);
}

void PrintSettings(const Device& dev, const DeviceSettings& s, std::ostream& out) {
  out << "device         " << dev.Dir().string() << "\n"
      << "platform type  " << s.platform_type << "\n"
      << "UI language    0x" << std::hex << std::setw(4) << std::setfill('0') << s.ui_language << std::dec
      << std::setfill(' ') << "\n"
      << "power          battery " << s.battery_percent << "%, backup battery " << s.backup_battery_percent
      << "%, AC " << (s.ac_line ? "on" : "off") << "\n"
      << "clock          offset " << s.clock_offset_ms << " ms, time scale " << s.time_scale << ", bias "
      << s.timezone_bias_minutes << " min\n"
      << "startup folder " << s.startup_folder << "\n"
      << "welcome        " << (s.welcome_program.empty() ? "(none)" : s.welcome_program) << "\n"
      << "autostart      ";
  if (s.autostart.empty()) out << "(default: each volume's CE\\ARM\\Restore.exe)";
  for (size_t i = 0; i < s.autostart.size(); ++i) out << (i ? ", " : "") << s.autostart[i];
  out << "\nkeys held      ";
  if (s.keys_held.empty()) out << "(none)";
  for (size_t i = 0; i < s.keys_held.size(); ++i) out << (i ? "," : "") << s.keys_held[i];
  out << "\neeprom         " << (s.has_eeprom ? std::to_string(s.eeprom.size()) + " bytes" : "(none)") << "\n";
  out << "mounted        ";
  for (size_t i = 0; i < s.mounted_folders.size(); ++i) out << (i ? ", " : "") << "\\" << s.mounted_folders[i];
  out << "\nheld open      ";
  if (s.held_files.empty()) out << "(none)";
  for (size_t i = 0; i < s.held_files.size(); ++i) out << (i ? ", " : "") << s.held_files[i];
  out << "\n";
}

void PrintFiles(Device& dev, const DeviceSettings& s, std::ostream& out) {
  FolderTotals store = CountTree(dev.StoreDir());
  out << "\nobject store   " << store.files << " files, " << store.folders << " folders, " << Size(store.bytes) << "; "
      << FreeSpace(u"\\") << " (capacity " << Size(s.store_capacity) << ")\n";
  for (const auto& v : s.volumes) {
    FolderTotals t = CountTree(dev.VolumeDir(v.name));
    out << "volume         \\" << v.name << ": " << t.files << " files, " << t.folders << " folders, " << Size(t.bytes)
        << "; " << FreeSpace(u"\\" + FromUtf8(v.name)) << (v.quota ? " (quota " + Size(v.quota) + ")" : "") << "\n";
  }
}

void PrintRegistry(std::ostream& out) {
  RegTotals all;
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
    RegTotals t;
    CountKey(root, &t);
    all.keys += t.keys;
    all.values += t.values;
  }
  out << "registry       " << all.keys << " keys, " << all.values << " values\n";
}

void PrintDatabases(std::ostream& out) {
  HANDLE find = CeFindFirstDatabase(0);
  uint64_t databases = 0, records = 0;
  if (find != INVALID_HANDLE_VALUE) {
    for (CEOID oid; (oid = CeFindNextDatabase(find)) != 0;) {
      CEOIDINFO info{};
      if (!CeOidGetInfo(oid, &info) || info.wObjType != OBJTYPE_DATABASE) continue;
      ++databases;
      records += info.infDatabase.wNumRecords;
    }
    CloseHandle(find);
  }
  out << "databases      " << databases << " databases, " << records << " records\n";
}

}  // namespace

int RunInfo(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "info");
  if (auto code = parser.Parse(args)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  Device& dev = *Device::Current();
  DeviceSettings s = dev.Settings();
  PrintSettings(dev, s, ctx.out);
  PrintFiles(dev, s, ctx.out);
  PrintRegistry(ctx.out);
  PrintDatabases(ctx.out);
  return kExitOk;
}

}  // namespace cedev::tool

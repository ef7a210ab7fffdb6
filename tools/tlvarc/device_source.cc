#include "device_source.h"

#include <windows.h>

#include <vector>

#include "archive_format.h"
#include "db_nodes.h"
#include "device_folder.h"
#include "exclusion_rules.h"
#include "fs_nodes.h"
#include "reg_nodes.h"
#include "node_rules.h"
#include "text.h"
#include "wide_text.h"

namespace tlvarc {
namespace {

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  return folder.empty() || folder.back() != u'\\' ? folder + u'\\' + name : folder + name;
}

class DeviceTreeWalker {
 public:
  explicit DeviceTreeWalker(const EntrySink& sink) : sink_(sink) {}

  Status Files(const std::u16string& folder) {
    sink_(folder, Fingerprint{EntryKind::kFolder, 0, 0, 0});
    std::u16string pattern = Join(folder, u"*.*");
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return {};
    std::vector<WIN32_FIND_DATAW> entries;
    do entries.push_back(found);
    while (FindNextFileW(find, &found));
    FindClose(find);
    for (const WIN32_FIND_DATAW& e : entries) {
      // A restore never walks into mounted storage. Files in ROM, files in
      // use and read-only files are compared (an archive may carry them) but
      // are left by the mirror pass's plain delete.
      if (IsMountedAttributes(e.dwFileAttributes)) continue;
      std::u16string path = Join(folder, e.cFileName);
      if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        TLVARC_TRY(Files(path));
      } else {
        TLVARC_TRY(File(path, e, !IsEntrySaved(pattern.c_str(), path.c_str(), e.cFileName, e.dwFileAttributes)));
      }
    }
    return {};
  }

  Status Registry() {
    for (const char16_t* root : archive::kRegistryRootNames) TLVARC_TRY(Key(RegistryRootHandle(root), root, u""));
    return {};
  }

  Status Databases() {
    sink_(u"DATABASE", Fingerprint{EntryKind::kDatabaseFolder, 0, 0, 0});
    HANDLE find = CeFindFirstDatabase(0);
    if (find == INVALID_HANDLE_VALUE || !find) return {};
    std::vector<CEOID> oids;
    while (CEOID oid = CeFindNextDatabase(find)) oids.push_back(oid);
    CloseHandle(find);
    for (CEOID oid : oids) TLVARC_TRY(Database(oid));
    return {};
  }

 private:
  Status File(const std::u16string& path, const WIN32_FIND_DATAW& e, bool left_out) {
    FileFields f = FileFieldsOf(e);
    Fingerprint fp{EntryKind::kFile, 0, FileMeta(f), f.size};
    fp.kept = (f.attributes & FILE_ATTRIBUTE_INROM) != 0;
    fp.left_out = left_out;
    fp.read_only = (f.attributes & FILE_ATTRIBUTE_READONLY) != 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
      // Held open (by the system itself, or a program): a restore can
      // neither delete nor replace it.
      fp.kept = fp.in_use = true;
      sink_(path, fp);
      return {};
    }
    if (file == INVALID_HANDLE_VALUE) return Status::Io("cannot read the device file " + Utf8(path));
    static thread_local std::vector<BYTE> buffer(1 << 20);
    Hasher h;
    uint64_t left = f.size;
    while (left > 0) {
      DWORD want = DWORD(std::min<uint64_t>(left, buffer.size())), got = 0;
      if (!ReadFile(file, buffer.data(), want, &got, nullptr) || got == 0) break;
      h.Add(buffer.data(), got);
      left -= got;
    }
    CloseHandle(file);
    if (left) return Status::Io("cannot read the device file " + Utf8(path));
    fp.content = h.Value();
    sink_(path, fp);
    return {};
  }

  Status Key(HKEY key, const std::u16string& path, const std::u16string& class_name) {
    Hasher meta;
    meta.Add(class_name.data(), class_name.size() * 2);
    sink_(path, Fingerprint{EntryKind::kKey, 0, meta.Value(), 0});
    WCHAR name[260];
    for (DWORD i = 0;; ++i) {
      DWORD length = 260;
      if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (WideEqualNoCase(name, u"CalibrationData")) continue;  // never archived, never deleted
      DWORD type = 0, size = 0;
      if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return Status::Io("cannot read the device value " + Utf8(path + u'\\' + name));
      std::vector<BYTE> data(size);
      if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return Status::Io("cannot read the device value " + Utf8(path + u'\\' + name));
      data.resize(size);
      Hasher h;
      h.Add64(type);
      h.Add(data.data(), data.size());
      sink_(path + u'\\' + (name[0] ? std::u16string(name) : u"@"), Fingerprint{EntryKind::kValue, h.Value(), 0, data.size()});
    }
    for (DWORD i = 0;; ++i) {
      WCHAR cls[260];
      DWORD length = 260, cls_length = 260;
      if (RegEnumKeyExW(key, i, name, &length, nullptr, cls, &cls_length, nullptr) != ERROR_SUCCESS) break;
      if (key == HKEY_LOCAL_MACHINE && WideEqualNoCase(name, u"Platform")) continue;  // compared with the header instead
      HKEY sub = nullptr;
      if (RegOpenKeyExW(key, name, 0, KEY_ALL_ACCESS, &sub) != ERROR_SUCCESS)
        return Status::Io("cannot open the device key " + Utf8(path + u'\\' + name));
      Status s = Key(sub, path + u'\\' + name, std::u16string(cls, cls_length));
      RegCloseKey(sub);
      TLVARC_TRY(s);
    }
    return {};
  }

  Status Database(CEOID oid) {
    CEOIDINFO info;
    if (!CeOidGetInfo(oid, &info) || info.wObjType != OBJTYPE_DATABASE) return {};
    const CEDBASEINFO& db = info.infDatabase;
    std::u16string path = u"DATABASE\\" + std::u16string(db.szDbaseName);
    Hasher meta;
    meta.Add64(db.dwDbaseType);
    for (WORD i = 0; i < db.wNumSortOrder && i < CEDB_MAXSORTORDER; ++i)
      meta.Add64(uint64_t(db.rgSortSpecs[i].propid) << 32 | db.rgSortSpecs[i].dwFlags);
    CEOID open_oid = 0;
    WCHAR name[CEDB_MAXDBASENAMELEN];
    WideCopy(name, CEDB_MAXDBASENAMELEN, db.szDbaseName);
    HANDLE handle = CeOpenDatabase(&open_oid, name, 0, CEDB_AUTOINCREMENT, nullptr);
    if (handle == INVALID_HANDLE_VALUE || !handle) return Status::Io("cannot open the device database " + Utf8(path));
    Hasher records;
    uint64_t count = 0;
    for (;;) {
      WORD props = 0;
      LPBYTE buffer = nullptr;
      DWORD size = 0;
      if (!CeReadRecordProps(handle, CEDB_ALLOWREALLOC, &props, nullptr, &buffer, &size)) break;
      if (props && size && buffer) {
        MDatabaseNode::PointersToOffsets(buffer, props);  // as the archive holds them
        records.Add64(props);
        records.Add(buffer, size);
        ++count;
      }
      if (buffer) LocalFree(buffer);
    }
    CloseHandle(handle);
    sink_(path, Fingerprint{EntryKind::kDatabase, records.Value(), meta.Value(), count});
    return {};
  }

  const EntrySink& sink_;
};

}  // namespace

Status WalkDevice(const std::string& device_dir, const DeviceParts& parts, const EntrySink& sink) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(device_dir) / "device.json", ec))
    return Status::Usage(device_dir + " is not a device folder (no device.json)");
  if (!cedev::Device::Use(device_dir)) return Status::Io("cannot open the device in " + device_dir);
  DeviceTreeWalker walker(sink);
  if (parts.files) TLVARC_TRY(walker.Files(u"\\"));
  if (parts.registry) TLVARC_TRY(walker.Registry());
  if (parts.databases) TLVARC_TRY(walker.Databases());
  return {};
}

}  // namespace tlvarc

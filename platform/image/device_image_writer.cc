// Writes a DeviceImage through the device API, the way a program would, so
// the kernel makes every metadata row itself. Only the ROM mark has no API
// (no program can put a file into ROM); it is set on the metadata row last.
#include <cstring>
#include <string>
#include <windows.h>

#include "device_image.h"
#include "device_folder.h"
#include "file_service.h"
#include "host_files.h"
#include "wstr.h"

namespace cedev {
namespace {

std::string Failed(const char* what, std::u16string_view item) {
  return std::string(what) + " " + ToUtf8(item) + ": error " + std::to_string(GetLastError());
}

class ImageWriter {
 public:
  explicit ImageWriter(std::string* error) : error_(error) {}

  bool Folders(const std::vector<ImageFolder>& folders) {
    for (const auto& f : folders) {
      if (!CreateDirectoryW(f.path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return Fail("cannot create folder", f.path);
      }
      if (f.attributes && !SetFileAttributesW(f.path.c_str(), f.attributes | FILE_ATTRIBUTE_DIRECTORY)) {
        return Fail("cannot set the attributes of", f.path);
      }
    }
    return true;
  }

  bool Files(const std::vector<ImageFile>& files) {
    for (const auto& f : files) {
      if (!File(f)) return false;
    }
    return true;
  }

  bool Keys(const std::vector<ImageKey>& keys) {
    for (const auto& k : keys) {
      if (!Key(k)) return false;
    }
    return true;
  }

  bool Databases(const std::vector<ImageDatabase>& databases) {
    for (const auto& db : databases) {
      if (!Database(db)) return false;
    }
    return true;
  }

  // ROM last: once marked, a file can no longer be written.
  bool RomMarks(const std::vector<ImageFile>& files) {
    Device* dev = Device::Current();
    for (const auto& f : files) {
      if (!(f.attributes & kAttrInRom)) continue;
      FileMetaRecord record;
      if (!GetFileMetaRecord(*dev, f.path, &record)) return Fail("cannot find the row of", f.path);
      record.attributes = f.attributes;
      if (!SetFileMetaRecord(*dev, f.path, record)) return Fail("cannot mark as ROM", f.path);
    }
    return true;
  }

  // Host side: no program can open a folder to set its times. The row's
  // last-write field follows the host mtime, so the mtime goes first.
  bool FolderTimes(const std::vector<ImageFolder>& folders) {
    Device* dev = Device::Current();
    for (const auto& f : folders) {
      if (!f.time) continue;
      HostLocation where;
      DWORD code = 0;
      if (!ResolveToHost(*dev, f.path, &where, &code) || !where.is_dir) return Fail("cannot find", f.path);
      auto time = static_cast<int64_t>(f.time);
      FileMetaRecord record;
      if (host::SetTimesOf(where.host.string(), time, time) != 0 ||
          !GetFileMetaRecord(*dev, f.path, &record)) {
        return Fail("cannot set the times of", f.path);
      }
      record.creation = record.last_access = FILETIME{static_cast<DWORD>(f.time), static_cast<DWORD>(f.time >> 32)};
      if (!SetFileMetaRecord(*dev, f.path, record)) return Fail("cannot set the times of", f.path);
    }
    return true;
  }

 private:
  bool Fail(const char* what, std::u16string_view item) {
    if (error_) *error_ = Failed(what, item);
    return false;
  }

  bool File(const ImageFile& f) {
    DWORD plain = f.attributes & ~(kAttrInRom | kAttrReadOnly);
    HANDLE h = CreateFileW(f.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, plain ? plain : kAttrNormal, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail("cannot create", f.path);
    DWORD written = 0;
    bool ok = f.data.empty() ||
              (WriteFile(h, f.data.data(), static_cast<DWORD>(f.data.size()), &written, nullptr) && written == f.data.size());
    FILETIME created{static_cast<DWORD>(f.create_time), static_cast<DWORD>(f.create_time >> 32)};
    FILETIME modified{static_cast<DWORD>(f.write_time), static_cast<DWORD>(f.write_time >> 32)};
    ok = ok && SetFileTime(h, &created, &modified, &modified);
    CloseHandle(h);
    if (!ok) return Fail("cannot write", f.path);
    // Read-only goes on after the content, as it would on the device.
    DWORD final_attributes = f.attributes & ~kAttrInRom;
    if ((final_attributes & kAttrReadOnly) && !SetFileAttributesW(f.path.c_str(), final_attributes)) {
      return Fail("cannot set the attributes of", f.path);
    }
    return true;
  }

  bool Key(const ImageKey& k) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExW(reinterpret_cast<HKEY>(static_cast<uintptr_t>(k.root)), k.path.c_str(), 0,
                              k.class_name.empty() ? nullptr : const_cast<LPWSTR>(k.class_name.c_str()), 0, 0, nullptr,
                              &key, &disposition);
    if (rc != ERROR_SUCCESS) {
      SetLastError(static_cast<DWORD>(rc));
      return Fail("cannot create key", k.path);
    }
    for (const auto& v : k.values) {
      rc = RegSetValueExW(key, v.name.c_str(), 0, static_cast<DWORD>(v.type), v.data.empty() ? nullptr : v.data.data(),
                          static_cast<DWORD>(v.data.size()));
      if (rc != ERROR_SUCCESS) {
        RegCloseKey(key);
        SetLastError(static_cast<DWORD>(rc));
        return Fail("cannot set value", k.path + u"\\" + v.name);
      }
    }
    RegCloseKey(key);
    return true;
  }

  bool Database(const ImageDatabase& db) {
    std::vector<SORTORDERSPEC> sorts;
    for (const auto& s : db.sort_orders) sorts.push_back({s.PropId(), s.flags});
    CEOID oid = CeCreateDatabase(const_cast<LPWSTR>(db.name.c_str()), db.type, static_cast<WORD>(sorts.size()),
                                 sorts.empty() ? nullptr : sorts.data());
    if (!oid) return Fail("cannot create database", db.name);
    HANDLE h = CeOpenDatabase(&oid, nullptr, 0, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail("cannot open database", db.name);
    bool ok = true;
    for (const auto& record : db.records) {
      ok = Record(h, record);
      if (!ok) break;
    }
    CloseHandle(h);
    return ok || Fail("cannot write a record of", db.name);
  }

  // A record buffer as the device lays it out: the property values first,
  // then their strings and blobs in the same allocation, which is where the
  // kernel looks for the 32-bit addresses the values hold.
  static bool Record(HANDLE h, const std::vector<ImageProp>& record) {
    size_t head = record.size() * sizeof(CEPROPVAL), tail = 0;
    for (const auto& p : record) tail += (p.text.size() + 1) * sizeof(WCHAR) + p.bytes.size() + 8;
    std::vector<uint64_t> storage((head + tail + 7) / 8 + 1);
    auto* base = reinterpret_cast<uint8_t*>(storage.data());
    auto* props = reinterpret_cast<CEPROPVAL*>(base);
    size_t at = head;
    for (size_t i = 0; i < record.size(); ++i) {
      const ImageProp& p = record[i];
      CEPROPVAL& v = props[i];
      v = CEPROPVAL{};
      v.propid = p.PropId();
      switch (p.type) {
        case PropType::kI2: v.val.iVal = static_cast<short>(p.number); break;
        case PropType::kUi2: v.val.uiVal = static_cast<USHORT>(p.number); break;
        case PropType::kI4: v.val.lVal = static_cast<LONG>(p.number); break;
        case PropType::kUi4: v.val.ulVal = static_cast<ULONG>(p.number); break;
        case PropType::kFiletime:
          v.val.filetime = FILETIME{static_cast<DWORD>(p.number), static_cast<DWORD>(static_cast<uint64_t>(p.number) >> 32)};
          break;
        case PropType::kString:
          at = (at + 1) & ~size_t{1};
          std::memcpy(base + at, p.text.c_str(), (p.text.size() + 1) * sizeof(WCHAR));
          v.val.lpwstr = DeviceAddress(base + at);
          at += (p.text.size() + 1) * sizeof(WCHAR);
          break;
        case PropType::kBlob:
          if (!p.bytes.empty()) std::memcpy(base + at, p.bytes.data(), p.bytes.size());
          v.val.blob.dwCount = static_cast<DWORD>(p.bytes.size());
          v.val.blob.lpb = DeviceAddress(base + at);
          at += p.bytes.size();
          break;
      }
    }
    return CeWriteRecordProps(h, 0, static_cast<WORD>(record.size()), props) != 0;
  }

  std::string* error_;
};

}  // namespace

bool WriteDeviceImage(const DeviceImage& image, std::string* error) {
  ImageWriter writer(error);
  return writer.Folders(image.folders) && writer.Files(image.files) && writer.RomMarks(image.files) &&
         writer.FolderTimes(image.folders) && writer.Keys(image.keys) && writer.Databases(image.databases);
}

}  // namespace cedev

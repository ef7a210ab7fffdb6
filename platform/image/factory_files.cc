#include "factory_files.h"

#include "device_folder.h"
#include "file_service.h"
#include "host_files.h"

namespace cedev {
namespace {

namespace fs = std::filesystem;

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

bool EmptyFolder(const fs::path& dir, std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) fs::remove_all(it->path(), ec);
  return !ec || Fail(error, dir.string() + ": " + ec.message());
}

}  // namespace

bool CopyTreeKeepingTimes(const fs::path& from, const fs::path& to, std::string* error) {
  host::EntryStatus st;
  if (host::StatusOf(from.string(), &st) != 0) return Fail(error, from.string() + ": cannot read");
  std::error_code ec;
  if (st.IsFile()) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) return Fail(error, to.string() + ": " + ec.message());
  } else if (st.IsFolder()) {
    fs::create_directories(to, ec);
    if (ec) return Fail(error, to.string() + ": " + ec.message());
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
      if (!CopyTreeKeepingTimes(it->path(), to / it->path().filename(), error)) return false;
    }
    if (ec) return Fail(error, from.string() + ": " + ec.message());
  } else {
    return true;  // links and special files are no part of a device
  }
  // A folder's time is set after its content went in, which changed it.
  return host::CopyTimes(from.string(), to.string()) == 0 || Fail(error, to.string() + ": cannot set its times");
}

bool SaveFactoryFiles(Device& device, std::string* error) {
  fs::path copy = device.FactoryDir() / "store";
  std::error_code ec;
  fs::remove_all(copy, ec);
  if (!CopyTreeKeepingTimes(device.StoreDir(), copy, error)) return false;
  return CopyMetaRows(device, "store", "factory/store") || Fail(error, "state.db: cannot copy the file rows");
}

bool RestoreFactoryFiles(Device& device, std::string* error) {
  fs::path copy = device.FactoryDir() / "store";
  std::error_code ec;
  if (!fs::is_directory(copy, ec)) return Fail(error, copy.string() + ": no factory image");
  if (!EmptyFolder(device.StoreDir(), error)) return false;
  if (!CopyTreeKeepingTimes(copy, device.StoreDir(), error)) return false;
  return CopyMetaRows(device, "factory/store", "store") || Fail(error, "state.db: cannot copy the file rows");
}

}  // namespace cedev

// The shell's special folders: fixed device paths, the Startup folder from
// the settings, each made on request.
#include "ce/device.h"
#include "ce/file.h"
#include "device_folder.h"
#include "last_error.h"
#include "wstr.h"

namespace {

using cedev::Fail;

std::u16string StartupFolder() {
  cedev::Device* dev = cedev::Device::Current();
  return cedev::FromUtf8(dev ? dev->Settings().startup_folder : cedev::DeviceSettings{}.startup_folder);
}

// Creates each missing folder of a device path, as fCreate asks.
bool CreateFolderChain(const std::u16string& path) {
  for (size_t end = path.find(u'\\', 1);; end = path.find(u'\\', end + 1)) {
    std::u16string prefix = path.substr(0, end);
    DWORD attributes = GetFileAttributesW(prefix.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return Fail(ERROR_PATH_NOT_FOUND, false);
    }
    if (end == std::u16string::npos) return true;
  }
}

}  // namespace

BOOL SHGetSpecialFolderPath(HWND, LPWSTR lpszPath, int nFolder, BOOL fCreate) {
  if (!lpszPath) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::u16string path;
  switch (nFolder) {
    case CSIDL_STARTUP: path = StartupFolder(); break;
    case CSIDL_PROGRAMS: path = u"\\Windows\\Start Menu\\Programs"; break;
    case CSIDL_PERSONAL: path = u"\\My Documents"; break;
    case CSIDL_FAVORITES: path = u"\\Windows\\Favorites"; break;
    case CSIDL_RECENT: path = u"\\Windows\\Recent"; break;
    case CSIDL_DESKTOPDIRECTORY: path = u"\\Windows\\Desktop"; break;
    case CSIDL_FONTS: path = u"\\Windows\\Fonts"; break;
    case CSIDL_WINDOWS: path = u"\\Windows"; break;
    case CSIDL_PROGRAM_FILES: path = u"\\Program Files"; break;
    default: return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  if (path.size() >= MAX_PATH) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  if (fCreate && !CreateFolderChain(path)) return FALSE;
  path.copy(lpszPath, path.size());
  lpszPath[path.size()] = 0;
  return TRUE;
}

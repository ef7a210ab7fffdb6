// `cedev ls`, `cedev get` and `cedev put`: the device's files through the
// device API, as a program sees them.
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <vector>
#include <windows.h>

#include "commands.h"
#include "file_helpers.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

constexpr DWORD kChunk = 64 * 1024;

std::string TimeText(const FILETIME& utc) {
  FILETIME local{};
  SYSTEMTIME st{};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return "(no time)";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                st.wSecond);
  return buf;
}

void PrintEntry(const WIN32_FIND_DATAW& fd, bool long_form, std::ostream& out) {
  std::string name = ToUtf8(WView(fd.cFileName));
  bool folder = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  if (long_form) {
    uint64_t size = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    out << AttributeText(fd.dwFileAttributes) << " " << std::setw(10) << size << " " << TimeText(fd.ftLastWriteTime)
        << " ";
  }
  out << name << (folder ? "\\" : "") << "\n";
}

}  // namespace

int RunLs(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "ls");
  bool long_form = false;
  std::string given = "\\";
  parser.app().add_flag("-l", long_form);
  parser.app().add_option("PATH", given);
  if (auto code = parser.Parse(args)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  std::u16string path = FromUtf8(given);
  std::u16string pattern = path;
  if (!HasWildcard(path)) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Failure(ctx, DeviceError(path));
    if (IsFolder(path)) pattern = Child(path, u"*");
  }
  WIN32_FIND_DATAW fd{};
  HANDLE find = FindFirstFileW(pattern.c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_NO_MORE_FILES || GetLastError() == ERROR_FILE_NOT_FOUND) return kExitOk;  // empty folder
    return Failure(ctx, DeviceError(path));
  }
  do {
    PrintEntry(fd, long_form, ctx.out);
  } while (FindNextFileW(find, &fd));
  DWORD end = GetLastError();
  FindClose(find);
  if (end != ERROR_NO_MORE_FILES) return Failure(ctx, DeviceError(path));
  return kExitOk;
}

int RunGet(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "get");
  std::string device_path, host_path;
  parser.app().add_option("DEVPATH", device_path)->required();
  parser.app().add_option("HOSTPATH", host_path)->required();
  if (auto code = parser.Parse(args)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  std::u16string source = FromUtf8(device_path);
  std::filesystem::path target = host_path;
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) {
    size_t cut = source.find_last_of(u"\\/");
    target /= ToUtf8(cut == std::u16string::npos ? source : source.substr(cut + 1));
  }
  HANDLE h = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failure(ctx, DeviceError(source));
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) {
    CloseHandle(h);
    return Failure(ctx, target.string() + ": cannot write");
  }
  std::vector<char> buffer(kChunk);
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(h, buffer.data(), kChunk, &got, nullptr)) && got > 0) out.write(buffer.data(), got);
  std::string why = ok ? "" : DeviceError(source);
  CloseHandle(h);
  out.close();
  if (!ok) return Failure(ctx, why);
  if (!out) return Failure(ctx, target.string() + ": cannot write");
  return kExitOk;
}

int RunPut(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "put");
  std::string host_path, device_path;
  bool make_parents = false;
  parser.app().add_flag("-p", make_parents);
  parser.app().add_option("HOSTPATH", host_path)->required();
  parser.app().add_option("DEVPATH", device_path)->required();
  if (auto code = parser.Parse(args)) return *code;
  std::ifstream in(host_path, std::ios::binary);
  if (!in) return Failure(ctx, host_path + ": cannot read");
  if (!OpenDevice(ctx)) return kExitFailure;
  std::u16string target = FromUtf8(device_path);
  if (make_parents) {
    std::u16string failed;
    if (!MakeFolders(ParentOf(target), &failed)) return Failure(ctx, DeviceError(failed));
  }
  if (IsFolder(target)) target = Child(target, FromUtf8(std::filesystem::path(host_path).filename().string()));
  HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failure(ctx, DeviceError(target));
  std::vector<char> buffer(kChunk);
  bool ok = true;
  while (ok && in) {
    in.read(buffer.data(), kChunk);
    DWORD want = static_cast<DWORD>(in.gcount()), wrote = 0;
    if (want == 0) break;
    ok = WriteFile(h, buffer.data(), want, &wrote, nullptr) && wrote == want;
  }
  std::string why = ok ? "" : DeviceError(target);
  CloseHandle(h);
  if (!ok) return Failure(ctx, why);
  return kExitOk;
}

}  // namespace cedev::tool

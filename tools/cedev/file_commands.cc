// `cedev ls`, `cedev get` and `cedev put`: the device's files through the
// device API, as a program sees them.
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <vector>
#include <windows.h>

#include "commands.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

constexpr DWORD kChunk = 64 * 1024;

std::string DeviceError(const std::u16string& path) { return ToUtf8(path) + ": " + ErrorText(GetLastError()); }

bool HasWildcard(const std::u16string& path) { return path.find_first_of(u"*?") != std::u16string::npos; }

bool IsFolder(const std::u16string& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string Child(const std::u16string& folder, std::u16string_view name) {
  std::u16string out = folder;
  if (out.empty() || (out.back() != u'\\' && out.back() != u'/')) out += u'\\';
  return out + std::u16string(name);
}

// "dr-hsaRt": directory, read-only, hidden, system, archive, ROM, temporary.
std::string AttributeText(DWORD a) {
  const std::pair<DWORD, char> bits[] = {{FILE_ATTRIBUTE_DIRECTORY, 'd'}, {FILE_ATTRIBUTE_READONLY, 'r'},
                                         {FILE_ATTRIBUTE_HIDDEN, 'h'},    {FILE_ATTRIBUTE_SYSTEM, 's'},
                                         {FILE_ATTRIBUTE_ARCHIVE, 'a'},   {FILE_ATTRIBUTE_INROM, 'R'},
                                         {FILE_ATTRIBUTE_TEMPORARY, 't'}};
  std::string text;
  for (auto [bit, letter] : bits) text += (a & bit) ? letter : '-';
  return text;
}

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

std::string FolderError(const std::u16string& path) { return DeviceError(path); }

}  // namespace

int RunLs(const CommandArgs& args, CommandContext& ctx) {
  bool long_form = false;
  std::vector<std::string> paths;
  for (const auto& a : args) {
    if (a == "-l") {
      long_form = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage(ctx, "ls", "unknown option '" + a + "'");
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() > 1) return Usage(ctx, "ls", "takes one PATH");
  if (!OpenDevice(ctx)) return kExitFailure;
  std::u16string path = FromUtf8(paths.empty() ? "\\" : paths[0]);
  std::u16string pattern = path;
  if (!HasWildcard(path)) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Failure(ctx, DeviceError(path));
    if (IsFolder(path)) pattern = Child(path, u"*");
  }
  WIN32_FIND_DATAW fd{};
  HANDLE find = FindFirstFileW(pattern.c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_NO_MORE_FILES || GetLastError() == ERROR_FILE_NOT_FOUND) return kExitOk;  // empty folder
    return Failure(ctx, FolderError(path));
  }
  do {
    PrintEntry(fd, long_form, ctx.out);
  } while (FindNextFileW(find, &fd));
  DWORD end = GetLastError();
  FindClose(find);
  if (end != ERROR_NO_MORE_FILES) return Failure(ctx, FolderError(path));
  return kExitOk;
}

int RunGet(const CommandArgs& args, CommandContext& ctx) {
  if (args.size() != 2) return Usage(ctx, "get", "needs DEVPATH and HOSTPATH");
  if (!OpenDevice(ctx)) return kExitFailure;
  std::u16string source = FromUtf8(args[0]);
  std::filesystem::path target = args[1];
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
  if (args.size() != 2) return Usage(ctx, "put", "needs HOSTPATH and DEVPATH");
  std::ifstream in(args[0], std::ios::binary);
  if (!in) return Failure(ctx, args[0] + ": cannot read");
  if (!OpenDevice(ctx)) return kExitFailure;
  std::u16string target = FromUtf8(args[1]);
  if (IsFolder(target)) target = Child(target, FromUtf8(std::filesystem::path(args[0]).filename().string()));
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

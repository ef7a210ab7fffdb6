// `cedev mkdir`, `rm`, `mv`, `cp`, `attrib` and `touch`: changes to the
// device's files through the device API, so every rule of the device
// (confinement, ROM, read-only files, share modes, quotas) applies as it
// does to a program, and every failure names the device path and the cause.
#include <cstdio>
#include <optional>
#include <ostream>
#include <vector>
#include <windows.h>

#include "commands.h"
#include "file_helpers.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

// Removes `path` and everything below it, going on past what cannot be
// removed (a read-only or ROM file, a file held open) so that as much goes
// as the device allows; each failure is reported. Answers whether all went.
bool RemoveTree(const std::u16string& path, CommandContext& ctx) {
  if (!IsFolder(path)) {
    if (DeleteFileW(path.c_str())) return true;
    ctx.err << "cedev: " << DeviceError(path) << "\n";
    return false;
  }
  std::vector<std::u16string> children;
  WIN32_FIND_DATAW fd{};
  HANDLE find = FindFirstFileW(Child(path, u"*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      children.push_back(Child(path, WView(fd.cFileName)));
    } while (FindNextFileW(find, &fd));
    FindClose(find);
  }
  bool all = true;
  for (const auto& child : children) all = RemoveTree(child, ctx) && all;
  if (!all) return false;  // the folder is not empty; saying so again adds nothing
  if (RemoveDirectoryW(path.c_str())) return true;
  ctx.err << "cedev: " << DeviceError(path) << "\n";
  return false;
}

// TO names the new entry, or a folder to put it in under its own name.
std::u16string Destination(const std::u16string& from, const std::u16string& to) {
  return IsFolder(to) ? Child(to, LeafOf(from)) : to;
}

// Changes "+r", "-hs" and the like to attributes; false for a word that is not one.
bool ApplyAttributeWord(const std::string& word, DWORD* attributes) {
  if (word.size() < 2 || (word[0] != '+' && word[0] != '-')) return false;
  for (size_t i = 1; i < word.size(); ++i) {
    DWORD bit = word[i] == 'r' ? FILE_ATTRIBUTE_READONLY
                : word[i] == 'h' ? FILE_ATTRIBUTE_HIDDEN
                : word[i] == 's' ? FILE_ATTRIBUTE_SYSTEM
                : word[i] == 'a' ? FILE_ATTRIBUTE_ARCHIVE
                                 : 0;
    if (!bit) return false;
    *attributes = word[0] == '+' ? (*attributes | bit) : (*attributes & ~bit);
  }
  return true;
}

// "2026-12-07 13:14:45" (device local time) as a file time; false when the text is not one.
bool ParseLocalTime(const std::string& text, FILETIME* utc) {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char end = 0;
  int n = std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &year, &month, &day, &hour, &minute, &second, &end);
  if (n != 3 && n != 6) return false;
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  FILETIME local{};
  return SystemTimeToFileTime(&st, &local) && LocalFileTimeToFileTime(&local, utc);
}

}  // namespace

namespace {

// The command line of mkdir and rm: one switch and a PATH; then the device.
// Answers the exit code when the command is not to go on.
std::optional<int> SwitchAndPath(const CommandArgs& args, CommandContext& ctx, const char* command,
                                 const char* switch_name, bool* switched, std::u16string* path) {
  CommandParser parser(ctx, command);
  std::string given;
  parser.app().add_flag(switch_name, *switched);
  parser.app().add_option("PATH", given)->required();
  if (auto code = parser.Parse(args)) return code;
  if (!OpenDevice(ctx)) return kExitFailure;
  *path = FromUtf8(given);
  return std::nullopt;
}

// The command line of mv and cp: FROM and TO, where a TO that is a folder
// takes FROM under its own name; then the device.
std::optional<int> FromAndTo(const CommandArgs& args, CommandContext& ctx, const char* command, std::u16string* from,
                             std::u16string* to) {
  CommandParser parser(ctx, command);
  std::string from_text, to_text;
  parser.app().add_option("FROM", from_text)->required();
  parser.app().add_option("TO", to_text)->required();
  if (auto code = parser.Parse(args)) return code;
  if (!OpenDevice(ctx)) return kExitFailure;
  *from = FromUtf8(from_text);
  *to = Destination(*from, FromUtf8(to_text));
  return std::nullopt;
}

}  // namespace

int RunMkdir(const CommandArgs& args, CommandContext& ctx) {
  bool parents = false;
  std::u16string path;
  if (auto code = SwitchAndPath(args, ctx, "mkdir", "-p", &parents, &path)) return *code;
  std::u16string failed = path;
  bool ok = parents ? MakeFolders(path, &failed) : CreateDirectoryW(path.c_str(), nullptr);
  return ok ? kExitOk : Failure(ctx, DeviceError(failed));
}

int RunRm(const CommandArgs& args, CommandContext& ctx) {
  bool recursive = false;
  std::u16string path;
  if (auto code = SwitchAndPath(args, ctx, "rm", "-r", &recursive, &path)) return *code;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Failure(ctx, DeviceError(path));
  if (recursive) return RemoveTree(path, ctx) ? kExitOk : kExitFailure;
  bool ok = IsFolder(path) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
  return ok ? kExitOk : Failure(ctx, DeviceError(path));
}

int RunMv(const CommandArgs& args, CommandContext& ctx) {
  std::u16string from, to;
  if (auto code = FromAndTo(args, ctx, "mv", &from, &to)) return *code;
  if (MoveFileW(from.c_str(), to.c_str())) return kExitOk;
  return Failure(ctx, ToUtf8(from) + " -> " + DeviceError(to));
}

int RunCp(const CommandArgs& args, CommandContext& ctx) {
  std::u16string from, to;
  if (auto code = FromAndTo(args, ctx, "cp", &from, &to)) return *code;
  if (IsFolder(from)) return Failure(ctx, ToUtf8(from) + ": is a folder; cp copies files");
  if (CopyFileW(from.c_str(), to.c_str(), FALSE)) return kExitOk;
  return Failure(ctx, ToUtf8(from) + " -> " + DeviceError(to));
}

int RunAttrib(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "attrib");
  // -h clears the hidden mark here, so only --help (or -h alone) asks for help.
  parser.app().set_help_flag("--help");
  if (args.size() == 1 && args[0] == "-h") return parser.Parse({"--help"}).value_or(kExitOk);
  std::string given;
  std::vector<std::string> changes;
  parser.app().add_option("PATH", given)->required();
  parser.app().add_option("CHANGES", changes);
  std::vector<std::string> words = args;
  // The changes look like short options; everything after the help check is a word.
  bool wants_help = false;
  for (const auto& w : words) wants_help = wants_help || w == "--help";
  if (!wants_help) words.insert(words.begin(), "--");
  if (auto code = parser.Parse(words)) return *code;
  DWORD wanted = 0;
  for (const auto& word : changes) {
    if (!ApplyAttributeWord(word, &wanted)) {
      return parser.UsageError("'" + word + "' is not a change of r, h, s or a (such as +r or -hs)");
    }
  }
  if (!OpenDevice(ctx)) return kExitFailure;
  std::u16string path = FromUtf8(given);
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failure(ctx, DeviceError(path));
  if (changes.empty()) {
    ctx.out << AttributeText(attributes) << " " << given << "\n";
    return kExitOk;
  }
  for (const auto& word : changes) ApplyAttributeWord(word, &attributes);
  if (!SetFileAttributesW(path.c_str(), attributes)) return Failure(ctx, DeviceError(path));
  return kExitOk;
}

int RunTouch(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "touch");
  std::string given, time_text;
  parser.app().add_option("PATH", given)->required();
  CLI::Option* time_option = parser.app().add_option("--time", time_text);
  if (auto code = parser.Parse(args)) return *code;
  FILETIME when{};
  if (time_option->count() && !ParseLocalTime(time_text, &when)) {
    return parser.UsageError("--time: '" + time_text + "' is not YYYY-MM-DD [HH:MM:SS]");
  }
  if (!OpenDevice(ctx)) return kExitFailure;
  if (!time_option->count()) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    SystemTimeToFileTime(&now, &when);
  }
  std::u16string path = FromUtf8(given);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failure(ctx, DeviceError(path));
  bool ok = SetFileTime(h, nullptr, nullptr, &when);
  std::string why = ok ? "" : DeviceError(path);
  CloseHandle(h);
  return ok ? kExitOk : Failure(ctx, why);
}

}  // namespace cedev::tool

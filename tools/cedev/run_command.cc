// `cedev run`: starts one device program, waits for it and reports its exit
// code. Scripted message-box answers travel to the program in CEDEV_ANSWERS.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <windows.h>

#include "commands.h"
#include "device_folder.h"
#include "job_cause.h"
#include "journal.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

struct RunRequest {
  std::string answers;
  DWORD timeout_ms = INFINITE;
  std::u16string program;
  std::u16string command_line;
};

// A bare name is looked for in \Windows, as the device's shell does.
std::u16string ProgramPath(const std::string& name) {
  std::u16string path = FromUtf8(name);
  if (path.find(u'\\') != std::u16string::npos || path.find(u'/') != std::u16string::npos) return path;
  if (path.find(u'.') == std::u16string::npos) path += u".exe";
  return u"\\Windows\\" + path;
}

std::u16string JoinArguments(const CommandArgs& args, size_t from) {
  std::u16string line;
  for (size_t i = from; i < args.size(); ++i) {
    std::u16string arg = FromUtf8(args[i]);
    if (!line.empty()) line += u' ';
    line += arg.find(u' ') != std::u16string::npos ? u"\"" + arg + u"\"" : arg;
  }
  return line;
}

bool KnownAnswers(const std::string& list) {
  static const char* const kWords[] = {"ok", "cancel", "yes", "no", "abort", "retry", "ignore"};
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    for (char& c : item) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool known = !item.empty() && item.find_first_not_of("0123456789") == std::string::npos;
    for (const char* w : kWords) known = known || item == w;
    if (!known) return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

// The scripted answers, one per line in a file of the device's run folder:
// the program and every program it starts take them in turn from there.
class AnswerFile {
 public:
  explicit AnswerFile(const std::string& list) {
    if (list.empty()) {
      ::unsetenv("CEDEV_ANSWERS");
      return;
    }
    path_ = Device::Current()->RunDir() / ("answers-" + std::to_string(::getpid()));
    std::ofstream out(path_, std::ios::trunc);
    std::string lines = list;
    std::replace(lines.begin(), lines.end(), ',', '\n');
    out << lines << "\n";
    ok_ = static_cast<bool>(out);
    ::setenv("CEDEV_ANSWERS", ("@" + path_.string()).c_str(), 1);
  }
  ~AnswerFile() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove(path_, ec);
  }
  AnswerFile(const AnswerFile&) = delete;
  AnswerFile& operator=(const AnswerFile&) = delete;
  bool Ready() const { return ok_; }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool ok_ = true;
};

// Parses the options before PROGRAM; answers the exit code when the
// command is not to run.
std::optional<int> Parse(const CommandArgs& args, CommandContext& ctx, RunRequest* req) {
  CommandParser parser(ctx, "run");
  CLI::App& app = parser.app();
  double seconds = 0;
  app.add_option("--answer", req->answers)->check(CLI::Validator(
      [](std::string& list) {
        return KnownAnswers(list) ? std::string() : "answers are ok, cancel, yes, no, abort, retry, ignore or button ids";
      },
      "A,B,..."));
  CLI::Option* timeout = app.add_option("--timeout", seconds);
  // PROGRAM and everything after it belong to the program.
  app.prefix_command();
  if (auto code = parser.Parse(args)) return code;
  if (timeout->count()) {
    if (!(seconds > 0)) return parser.UsageError("--timeout needs seconds above 0");
    req->timeout_ms = static_cast<DWORD>(seconds * 1000);
  }
  CommandArgs rest = app.remaining();
  if (!rest.empty() && rest[0] == "--") rest.erase(rest.begin());
  if (rest.empty()) return parser.UsageError("needs a PROGRAM");
  if (rest[0].size() > 1 && rest[0][0] == '-') return parser.UsageError("unknown option '" + rest[0] + "'");
  req->program = ProgramPath(rest[0]);
  req->command_line = JoinArguments(rest, 1);
  return std::nullopt;
}

// The icon a box's flags ask for, as a person would name it.
std::string IconName(const std::string& entry) {
  size_t at = entry.find(" flags 0x");
  if (at == std::string::npos) return "";
  unsigned long flags = std::strtoul(entry.c_str() + at + 9, nullptr, 16);
  switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: return "stop";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "exclamation";
    case MB_ICONASTERISK: return "information";
    default: return "none";
  }
}

// An unattended program reports only through its message boxes: show each
// one the run brought up, with its icon, before the exit code.
void PrintMessageBoxes(std::ostream& out, int64_t mark) {
  for (const JournalEntry& e : JournalRead(mark)) {
    if (e.kind == "msgbox") out << "message box: " << e.text << " icon " << IconName(e.text) << "\n";
  }
}

}  // namespace

int RunRun(const CommandArgs& args, CommandContext& ctx) {
  RunRequest req;
  if (auto code = Parse(args, ctx, &req)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  AnswerFile answers(req.answers);
  if (!answers.Ready()) return Failure(ctx, answers.Path().string() + ": cannot write the answers");
  int64_t mark = JournalMark();
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(req.program.c_str(), req.command_line.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      nullptr, &pi)) {
    return Failure(ctx, ToUtf8(req.program) + ": cannot start: " + ErrorText(GetLastError()));
  }
  CloseHandle(pi.hThread);
  DWORD waited = WaitForSingleObject(pi.hProcess, req.timeout_ms);
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    return Failure(ctx, ToUtf8(req.program) + ": " +
                            (waited == WAIT_TIMEOUT ? std::string("did not end in time; ended it")
                                                    : "cannot wait: " + ErrorText(GetLastError())));
  }
  DWORD code = 0;
  bool got = GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  if (!got) return Failure(ctx, ToUtf8(req.program) + ": no exit code: " + ErrorText(GetLastError()));
  PrintMessageBoxes(ctx.out, mark);
  ctx.out << "exit code " << code << "\n";
  return static_cast<int>(code & 0xFF);
}

}  // namespace cedev::tool

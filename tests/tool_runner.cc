#include "tool_runner.h"

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tlvtest {
namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

fs::path BinDir() {
  const char* dir = std::getenv("TLV_BIN_DIR");
  if (dir && *dir) return dir;
  return fs::read_symlink("/proc/self/exe").parent_path();
}

namespace {

// The argument and environment vectors of one program run.
class ProgramLine {
 public:
  ProgramLine(const std::string& tool, const std::vector<std::string>& args,
              const std::vector<std::string>& extra_env)
      : program_((BinDir() / tool).string()) {
    argv_store_ = {program_};
    argv_store_.insert(argv_store_.end(), args.begin(), args.end());
    for (char** e = environ; *e; ++e) env_store_.emplace_back(*e);
    env_store_.insert(env_store_.end(), extra_env.begin(), extra_env.end());
    for (auto& a : argv_store_) argv_.push_back(a.data());
    argv_.push_back(nullptr);
    for (auto& e : env_store_) envp_.push_back(e.data());
    envp_.push_back(nullptr);
  }
  const std::string& program() const { return program_; }
  char** argv() { return argv_.data(); }
  char** envp() { return envp_.data(); }

 private:
  std::string program_;
  std::vector<std::string> argv_store_, env_store_;
  std::vector<char*> argv_, envp_;
};

int WaitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                   const std::vector<std::string>& extra_env) {
  ScratchFolder capture;
  fs::path out_path = capture.path() / "out", err_path = capture.path() / "err";
  ProgramLine line(tool, args, extra_env);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // A session of its own has no controlling terminal: a tool that would
  // ask at one cannot wait there for a person who never types.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  ToolResult result;
  int rc = posix_spawn(&pid, line.program().c_str(), &actions, &attributes, line.argv(), line.envp());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    result.err = "cannot start " + line.program();
    return result;
  }
  result.exit_code = WaitForExit(pid);
  result.out = Slurp(out_path);
  result.err = Slurp(err_path);
  return result;
}

ToolResult RunToolAtTerminal(const std::string& tool, const std::vector<std::string>& args,
                             const std::vector<std::string>& prompts, const std::vector<std::string>& typed,
                             const std::vector<std::string>& extra_env) {
  ProgramLine line(tool, args, extra_env);
  ToolResult result;
  int terminal = -1;
  pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid < 0) {
    result.err = "no pseudo-terminal";
    return result;
  }
  if (pid == 0) {
    execve(line.program().c_str(), line.argv(), line.envp());
    _exit(127);
  }
  // Reads what the terminal shows, typing each answer once its prompt shows;
  // the read fails (EIO) once the program has ended and closed its side.
  size_t next = 0, seen = 0;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<size_t>(n));
    while (next < prompts.size() && next < typed.size()) {
      size_t at = result.out.find(prompts[next], seen);
      if (at == std::string::npos) break;
      seen = at + prompts[next].size();
      std::string answer = typed[next++] + "\n";
      (void)!write(terminal, answer.data(), answer.size());
    }
  }
  close(terminal);
  result.exit_code = WaitForExit(pid);
  return result;
}

ScratchFolder::ScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tlv-scenario-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace tlvtest

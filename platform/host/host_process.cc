#include "host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace cedev::host {

int ProcessId() { return static_cast<int>(::getpid()); }

uint32_t ThreadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

bool ThreadExists(uint32_t tid) {
  return ::syscall(SYS_tgkill, ::getpid(), static_cast<pid_t>(tid), 0) == 0 || errno != ESRCH;
}

std::optional<ProcessState> StateOf(int pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
  std::ifstream in(path);
  std::string stat;
  if (!std::getline(in, stat)) return std::nullopt;
  // The command name is in parentheses and may hold spaces: fields count from the last ')'.
  size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return std::nullopt;
  std::istringstream fields(stat.substr(close + 2));
  char state = '?';
  std::string skip;
  fields >> state;
  // Field 22 of the file is the start time; the state was field 3.
  for (int i = 4; i < 22 && fields; ++i) fields >> skip;
  uint64_t started = 0;
  if (!(fields >> started)) return std::nullopt;
  return ProcessState{state != 'Z' && state != 'X', started};
}

int Spawn(const std::string& binary, const std::vector<std::string>& env, int* pid, bool detached) {
  std::vector<std::string> owned = env;
  std::vector<char*> envp;
  for (auto& e : owned) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string path = binary;
  char* argv[] = {path.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  if (detached) {
    for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  }
  pid_t child = 0;
  int rc = posix_spawn(&child, path.c_str(), &actions, &attributes, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc == 0) *pid = static_cast<int>(child);
  return rc;
}

std::optional<int> WaitForChild(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return std::nullopt;
}

int WatchProcess(int pid, Fd* watch) {
  int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return errno;
  watch->Reset(fd);
  return 0;
}

int KillWatched(const Fd& watch) {
  return ::syscall(SYS_pidfd_send_signal, watch.Get(), SIGKILL, nullptr, 0) == 0 ? 0 : errno;
}

void WaitWatched(const Fd& watch, int timeout_ms) {
  pollfd p{watch.Get(), POLLIN, 0};
  ::poll(&p, 1, timeout_ms);
}

int StartThread(void* (*run)(void*), void* argument, size_t stack_bytes) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stack_bytes) pthread_attr_setstacksize(&attr, stack_bytes);
  pthread_t id;
  int rc = pthread_create(&id, &attr, run, argument);
  pthread_attr_destroy(&attr);
  return rc;
}

void ExitThisThread() { pthread_exit(nullptr); }

void ExitNow(int code) { ::_exit(code); }

void EndAsKilled() {
  ::raise(SIGKILL);
  ::_exit(137);  // not reached: SIGKILL cannot be caught
}

void YieldProcessor() { sched_yield(); }

void SleepForever() {
  for (;;) pause();
}

std::vector<std::string> Environment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  return env;
}

std::optional<std::string> TakeEnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  std::optional<std::string> text;
  if (value) text = value;
  ::unsetenv(name);
  return text;
}

std::filesystem::path OwnProgramFolder() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

bool InteractiveTerminal() { return ::isatty(0) && ::isatty(1); }

}  // namespace cedev::host

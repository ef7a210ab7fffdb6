#include "other_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace cedev {
namespace {

constexpr const char* kReportFdVariable = "TLV_HOLDER_REPORT_FD";
constexpr const char* kLetGoFdVariable = "TLV_HOLDER_LET_GO_FD";

int FdFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : -1;
}

}  // namespace

int RunAsOtherProgram(const std::function<int()>& work) {
  pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    int code = 1;
    std::thread([&] { code = work(); }).join();
    ::_exit(code);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

HoldingProgram::HoldingProgram(const std::filesystem::path& device, const std::string& test,
                               const std::vector<std::pair<std::string, std::string>>& env) {
  int report[2], let_go[2];
  if (::pipe(report) != 0) return;
  if (::pipe(let_go) != 0) {
    ::close(report[0]);
    ::close(report[1]);
    return;
  }
  std::vector<std::string> entries{"CEDEV_DEVICE=" + device.string(),
                                   std::string(kReportFdVariable) + "=" + std::to_string(report[1]),
                                   std::string(kLetGoFdVariable) + "=" + std::to_string(let_go[0])};
  for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : entries) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string filter = "--gtest_filter=" + test;
  std::string disabled = "--gtest_also_run_disabled_tests";
  char exe[] = "/proc/self/exe";
  char* argv[] = {exe, filter.data(), disabled.data(), nullptr};
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(report[0]);
    ::close(let_go[1]);
    int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, 1);
    ::execve("/proc/self/exe", argv, envp.data());
    ::_exit(127);
  }
  ::close(report[1]);
  ::close(let_go[0]);
  let_go_fd_ = let_go[1];
  char buf[64];
  ssize_t n = pid_ > 0 ? ::read(report[0], buf, sizeof buf) : -1;
  ::close(report[0]);
  report_ = n > 0 ? std::string(buf, static_cast<size_t>(n)) : "no report";
}

void HoldingProgram::LetGo() {
  if (let_go_fd_ >= 0) ::close(let_go_fd_);
  let_go_fd_ = -1;
  if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

void HoldingProgram::Kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
  LetGo();
}

void ReportToStarter(const std::string& line) {
  int fd = FdFromEnvironment(kReportFdVariable);
  if (fd < 0) return;
  size_t put = 0;
  while (put < line.size()) {
    ssize_t n = ::write(fd, line.data() + put, line.size() - put);
    if (n <= 0) break;
    put += static_cast<size_t>(n);
  }
  ::close(fd);
}

void WaitToBeLetGo() {
  int fd = FdFromEnvironment(kLetGoFdVariable);
  if (fd < 0) return;
  char c;
  while (::read(fd, &c, 1) > 0) {
  }
}

ScopedFileSizeLimit::ScopedFileSizeLimit(unsigned long long bytes) {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  old_limit_ = limit.rlim_cur;
  // Past the limit the host sends SIGXFSZ, which would end the process.
  old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = bytes;
  active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
  struct rlimit limit;
  if (active_ && ::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
    limit.rlim_cur = old_limit_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ::signal(SIGXFSZ, old_handler_);
}

}  // namespace cedev

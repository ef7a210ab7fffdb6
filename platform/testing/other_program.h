// Other programs of the current device for tests that need one.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace cedev {

// Runs `work` in another program and waits for it: a forked child doing its
// work on a fresh thread, so it opens its own connection to the device's
// database and never touches the one it inherited. Returns what `work`
// returned (as its exit code), or -1 when the program did not end normally.
int RunAsOtherProgram(const std::function<int()>& work);

// Another program that keeps what it opened until it is let go or killed:
// a fresh copy of the running test program (so it inherits no open file of
// this one) that runs only the test `test` (a DISABLED_ test of the same
// program) with the variables `env` set, on the device `device`. That test
// tells what it got with ReportToStarter and then calls WaitToBeLetGo.
class HoldingProgram {
 public:
  HoldingProgram(const std::filesystem::path& device, const std::string& test,
                 const std::vector<std::pair<std::string, std::string>>& env);
  ~HoldingProgram() { LetGo(); }
  HoldingProgram(const HoldingProgram&) = delete;
  HoldingProgram& operator=(const HoldingProgram&) = delete;

  // The line the program reported ("no report" when it ended without one).
  const std::string& report() const { return report_; }
  // The program ends as programs do, closing what it holds; waits for it.
  void LetGo();
  // The program is killed at once, as a crashed program is.
  void Kill();

 private:
  int pid_ = -1;
  int let_go_fd_ = -1;
  std::string report_;
};

// For the test a HoldingProgram runs: tells the starter `line`, then waits
// until the starter lets go (or dies).
void ReportToStarter(const std::string& line);
void WaitToBeLetGo();

// Keeps the host from letting this process's files grow past `bytes` while
// the object lives: writes past it fail as on a full disk.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(unsigned long long bytes);
  ~ScopedFileSizeLimit();
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;
  bool Active() const { return active_; }

 private:
  bool active_ = false;
  unsigned long long old_limit_ = 0;
  void (*old_handler_)(int) = nullptr;
};

}  // namespace cedev

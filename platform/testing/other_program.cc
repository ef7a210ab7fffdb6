#include "other_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace cedev {

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

}  // namespace cedev

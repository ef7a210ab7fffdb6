#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  tlvarc::Args args(argv + 1, argv + argc);
  int code = tlvarc::RunTlvarc(args, tlvarc::CommandIo{std::cout, std::cerr});
  std::cout.flush();
  return code;
}

#include <iostream>

#include "commands.h"
#include "device_source.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // The one command that looks at an emulated device gets it here.
  tlvarc::SetDeviceWalker(tlvarc::WalkDevice);
  tlvarc::Args args(argv + 1, argv + argc);
  int code = tlvarc::RunTlvarc(args, tlvarc::CommandIo{std::cout, std::cerr});
  std::cout.flush();
  return code;
}

#include <iostream>

#include "command.h"

int main(int argc, char** argv) {
  cedev::tool::CommandArgs args(argv + 1, argv + argc);
  return cedev::tool::RunCedev(args, std::cout, std::cerr);
}

// The host entry point of every device program: finds the device, takes the
// device path and command line its starter passed, registers the program in
// the device's process table, runs WinMain and records the exit code.
#include <cstdio>
#include <optional>
#include <string>

#include "ce/process.h"
#include "device_folder.h"
#include "eeprom_module.h"
#include "host_process.h"
#include "program.h"
#include "wstr.h"

namespace {


std::string BaseName(const char* path) {
  std::string p = path ? path : "program";
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Started by hand rather than through CreateProcessW: the program is taken
// to live in \Windows and its host arguments form the command line.
std::string CommandLineOf(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!line.empty()) line += ' ';
    line += arg.find(' ') == std::string::npos ? arg : "\"" + arg + "\"";
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  // Programs this one starts get their own values from CreateProcessW.
  std::optional<std::string> module = cedev::host::TakeEnvironmentVariable("CEDEV_MODULE");
  std::optional<std::string> cmdline = cedev::host::TakeEnvironmentVariable("CEDEV_CMDLINE");
  if (!module) module = "\\Windows\\" + BaseName(argv[0]) + ".exe";
  if (!cmdline) cmdline = CommandLineOf(argc, argv);
  cedev::SetProgramIdentity(cedev::FromUtf8(*module), cedev::FromUtf8(*cmdline));
  if (!cedev::Device::Current()) {
    std::fprintf(stderr, "%s: no device: set CEDEV_DEVICE to a device folder (cedev init DIR makes one)\n",
                 BaseName(argv[0]).c_str());
    return 1;
  }
  cedev::RegisterEepromModule();
  cedev::RegisterSelf();
  int code = WinMain(cedev::ProgramInstance(), nullptr, GetCommandLineW(), SW_SHOW);
  ExitProcess(static_cast<UINT>(code));
}

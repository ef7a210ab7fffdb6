// Global options, help and dispatch of `cedev`.
#include <cstdlib>
#include <iostream>

#include "command.h"
#include "device_folder.h"
#include "host_device_folder.h"

namespace cedev::tool {
namespace {

constexpr const char* kMainUsage =
    "usage: cedev [-d DIR] COMMAND [ARGS...]\n"
    "\n"
    "Creates, inspects and drives an emulated Windows CE device: a folder on\n"
    "this computer. The device folder is DIR (-d), else $CEDEV_DEVICE, else\n"
    "./device.\n"
    "\n"
    "commands:\n";

void PrintMainHelp(std::ostream& out) {
  out << kMainUsage;
  for (const auto& c : Commands()) {
    std::string name = c.name;
    name.resize(std::max<size_t>(name.size() + 2, 10), ' ');
    out << "  " << name << c.summary << "\n";
  }
  out << "\n'cedev help COMMAND' or 'cedev COMMAND --help' describes one command.\n";
}

bool WantsHelp(const CommandArgs& args) {
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") return true;
    if (a == "--") break;
  }
  return false;
}

int RunHelp(const CommandArgs& args, CommandContext& ctx) {
  if (args.empty()) {
    PrintMainHelp(ctx.out);
    return kExitOk;
  }
  const Command* c = FindCommand(args[0]);
  if (!c) return Usage(ctx, "help", "unknown command '" + args[0] + "'");
  ctx.out << c->help;
  return kExitOk;
}

}  // namespace

const Command* FindCommand(const std::string& name) {
  if (name == "help") {
    static const Command help{"help", "describe the commands", "usage: cedev help [COMMAND]\n", RunHelp};
    return &help;
  }
  for (const auto& c : Commands()) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

int Usage(CommandContext& ctx, const char* command, const std::string& message) {
  ctx.err << "cedev " << command << ": " << message << "\n";
  if (const Command* c = FindCommand(command)) ctx.err << c->help;
  return kExitUsage;
}

int Failure(CommandContext& ctx, const std::string& message) {
  ctx.err << "cedev: " << message << "\n";
  return kExitFailure;
}

bool OpenDevice(CommandContext& ctx) {
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::absolute(ctx.device_dir, ec);
  if (!std::filesystem::exists(dir / "device.json", ec)) {
    ctx.err << "cedev: " << dir.string() << ": no device here (no device.json); create one with 'cedev init "
            << ctx.device_dir.string() << "'\n";
    return false;
  }
  if (!Device::Use(dir)) {
    ctx.err << "cedev: " << dir.string() << ": cannot open the device\n";
    return false;
  }
  // Programs the tool starts find the same device.
  ::setenv("CEDEV_DEVICE", dir.c_str(), 1);
  return true;
}

int RunCedev(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  CommandContext ctx{host::DefaultDeviceFolder(), out, err};
  size_t i = 0;
  for (; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if ((a == "-d" || a == "--device") && i + 1 < argv.size()) {
      ctx.device_dir = argv[++i];
    } else if (a == "-d" || a == "--device") {
      err << "cedev: " << a << " needs a folder\n";
      return kExitUsage;
    } else if (a == "-h" || a == "--help") {
      PrintMainHelp(out);
      return kExitOk;
    } else if (!a.empty() && a[0] == '-') {
      err << "cedev: unknown option '" << a << "'\n";
      return kExitUsage;
    } else {
      break;
    }
  }
  if (i == argv.size()) {
    PrintMainHelp(err);
    return kExitUsage;
  }
  const Command* c = FindCommand(argv[i]);
  if (!c) {
    err << "cedev: unknown command '" << argv[i] << "' (see 'cedev help')\n";
    return kExitUsage;
  }
  CommandArgs args(argv.begin() + static_cast<long>(i) + 1, argv.end());
  if (c->name != std::string("run") && WantsHelp(args)) {
    out << c->help;
    return kExitOk;
  }
  return c->run(args, ctx);
}

}  // namespace cedev::tool

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
  out << "  help      describe the commands\n";
  out << "\n'cedev help COMMAND' or 'cedev COMMAND --help' describes one command\n"
         "and its exit status. Exit status: 0 done, 1 failed, 2 usage error.\n";
}

int RunHelp(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "help");
  std::string name;
  parser.app().add_option("COMMAND", name);
  if (auto code = parser.Parse(args)) return *code;
  if (name.empty()) {
    PrintMainHelp(ctx.out);
    return kExitOk;
  }
  const Command* c = FindCommand(name);
  if (!c) return Usage(ctx, "help", "unknown command '" + name + "'");
  ctx.out << c->help;
  return kExitOk;
}

}  // namespace

CommandParser::CommandParser(CommandContext& ctx, const char* name)
    : tlvcli::CommandLine(std::string("cedev ") + name, FindCommand(name)->help, ctx.out, ctx.err) {}

const Command* FindCommand(const std::string& name) {
  if (name == "help") {
    static const Command help{"help", "describe the commands",
                              "usage: cedev help [COMMAND]\n"
                              "\n"
                              "Describes the command COMMAND, or lists the commands.\n"
                              "Exit status: 0 shown, 2 unknown command.\n",
                              RunHelp};
    return &help;
  }
  for (const auto& c : Commands()) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

int Usage(CommandContext& ctx, const char* command, const std::string& message) {
  ctx.err << "cedev " << command << ": " << message << "\n";
  if (const Command* c = FindCommand(command)) ctx.err << tlvcli::UsageLines(c->help);
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
  CLI::App app("", "cedev");
  app.set_help_flag("-h,--help");
  std::string device;
  CLI::Option* device_option = app.add_option("-d,--device", device, "the device folder");
  // Everything from the command name on belongs to the command.
  app.prefix_command();
  std::vector<std::string> reversed(argv.rbegin(), argv.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    PrintMainHelp(out);
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    err << "cedev: " << e.what() << "\nusage: cedev [-d DIR] COMMAND [ARGS...]\n";
    return kExitUsage;
  }
  if (device_option->count()) ctx.device_dir = device;
  CommandArgs rest = app.remaining();
  if (rest.empty()) {
    PrintMainHelp(err);
    return kExitUsage;
  }
  if (rest[0].size() > 1 && rest[0][0] == '-') {
    err << "cedev: unknown option '" << rest[0] << "'\nusage: cedev [-d DIR] COMMAND [ARGS...]\n";
    return kExitUsage;
  }
  const Command* c = FindCommand(rest[0]);
  if (!c) {
    err << "cedev: unknown command '" << rest[0] << "' (see 'cedev help')\n";
    return kExitUsage;
  }
  return c->run(CommandArgs(rest.begin() + 1, rest.end()), ctx);
}

}  // namespace cedev::tool

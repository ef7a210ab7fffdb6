// The commands of `cedev`: one table (commands.cc) names each command, its
// one-line summary, its help text and the function that runs it. A command
// returns kExitOk, kExitFailure or kExitUsage.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "command_line.h"
#include "error_names.h"

namespace cedev::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CommandContext {
  std::filesystem::path device_dir;  // from -d, else CEDEV_DEVICE, else ./device
  std::ostream& out;
  std::ostream& err;
};

using CommandArgs = std::vector<std::string>;
using CommandFn = std::function<int(const CommandArgs& args, CommandContext& ctx)>;

struct Command {
  const char* name;
  const char* summary;  // one line for `cedev help`
  std::string help;     // full text for `cedev CMD --help`
  CommandFn run;
};

// Every command, in the order `cedev help` lists them.
const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);

// Runs a whole command line (without the program name): global options,
// help, dispatch. Used by main and by in-process tests.
int RunCedev(const CommandArgs& argv, std::ostream& out, std::ostream& err);

// Makes the context's device the current device of this process (and the
// device of every program it starts). On failure prints why and returns false.
bool OpenDevice(CommandContext& ctx);

// The command line of the command `name`, parsed by CLI11: -h and --help
// print the command's help (exit 0), usage errors its usage lines (exit 2).
class CommandParser : public tlvcli::CommandLine {
 public:
  CommandParser(CommandContext& ctx, const char* name);
};

// Prints "cedev CMD: message" and the command's usage to err and returns the exit code.
int Usage(CommandContext& ctx, const char* command, const std::string& message);
int Failure(CommandContext& ctx, const std::string& message);


}  // namespace cedev::tool

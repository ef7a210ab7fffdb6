// The commands of `cedev`: one table (commands.cc) names each command, its
// one-line summary, its help text and the function that runs it. A command
// returns kExitOk, kExitFailure or kExitUsage.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

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

// Prints "cedev CMD: message" to err and returns the exit code.
int Usage(CommandContext& ctx, const char* command, const std::string& message);
int Failure(CommandContext& ctx, const std::string& message);

// "ERROR_ACCESS_DENIED (5)" for a device error code; and back from a name or
// a number (0 when unknown).
std::string ErrorText(unsigned long code);
unsigned long ErrorFromText(const std::string& text);

}  // namespace cedev::tool

// One command's command line, parsed by CLI11 with the behaviour both tools
// promise: -h and --help print the command's own help and answer 0; a usage
// error prints "TOOL COMMAND: what is wrong" (naming the offending word)
// and the command's usage lines, and answers 2.
#pragma once

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tlvcli {

inline constexpr int kExitUsage = 2;

class CommandLine {
 public:
  // `name` is how messages name the command ("cedev ls"); `help` its whole
  // help text, which starts with its "usage:" lines.
  CommandLine(std::string name, std::string help, std::ostream& out, std::ostream& err);
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  CLI::App& app() { return app_; }
  // Parses `args` (the words after the command name). Answers nothing when
  // the command should run, else the exit code it answers instead.
  std::optional<int> Parse(const std::vector<std::string>& args);
  // A usage error found after parsing: prints it as Parse does, answers 2.
  int UsageError(const std::string& message);

 private:
  std::string name_;
  std::string help_;
  std::ostream& out_;
  std::ostream& err_;
  CLI::App app_;
};

// The "usage:" lines at the head of a help text (up to the first blank line).
std::string UsageLines(const std::string& help);

// A validator that accepts the listed words only and names them all when
// it refuses one.
CLI::Validator OneOf(const std::vector<std::string>& words);

}  // namespace tlvcli

#include "command_line.h"

#include <algorithm>
#include <ostream>

namespace tlvcli {

CommandLine::CommandLine(std::string name, std::string help, std::ostream& out, std::ostream& err)
    : name_(std::move(name)), help_(std::move(help)), out_(out), err_(err), app_(help_, name_) {
  app_.set_help_flag("-h,--help", "print this help");
}

// The subcommands of `app` ("list, dump"), for a message.
std::string SubcommandNames(CLI::App& app) {
  std::string names;
  for (const CLI::App* sub : app.get_subcommands({})) names += (names.empty() ? "" : ", ") + sub->get_name();
  return names;
}

bool HasSubcommand(CLI::App& app, const std::string& word) {
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->check_name(word)) return true;
  }
  return false;
}

std::optional<int> CommandLine::Parse(const std::vector<std::string>& args) {
  // CLI11 would only say that a subcommand is required; name the word instead.
  if (app_.get_require_subcommand_min() > 0 && !args.empty() && args[0].rfind("-", 0) != 0 &&
      !HasSubcommand(app_, args[0])) {
    return UsageError("unknown subcommand '" + args[0] + "' (one of " + SubcommandNames(app_) + ")");
  }
  // CLI11 takes the words last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app_.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out_ << help_;
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    out_ << help_;
    return 0;
  } catch (const CLI::ParseError& e) {
    return UsageError(e.what());
  }
  return std::nullopt;
}

int CommandLine::UsageError(const std::string& message) {
  err_ << name_ << ": " << message << "\n" << UsageLines(help_);
  return kExitUsage;
}

std::string UsageLines(const std::string& help) {
  size_t blank = help.find("\n\n");
  std::string head = help.substr(0, blank == std::string::npos ? help.size() : blank + 1);
  if (head.rfind("usage:", 0) != 0) return "";
  // Only the lines of the usage itself, not the description that may follow
  // without a blank line.
  std::string lines;
  size_t start = 0;
  while (start < head.size()) {
    size_t end = head.find('\n', start);
    std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    if (start != 0 && line.rfind(" ", 0) != 0) break;
    lines += line;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

CLI::Validator OneOf(const std::vector<std::string>& words) {
  std::string list;
  for (const auto& w : words) list += (list.empty() ? "" : ", ") + w;
  return CLI::Validator(
      [words, list](std::string& value) -> std::string {
        if (std::find(words.begin(), words.end(), value) != words.end()) return "";
        return "'" + value + "' is none of " + list;
      },
      "one of " + list);
}

}  // namespace tlvcli

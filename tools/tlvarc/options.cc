#include "options.h"

#include <CLI/CLI.hpp>

namespace tlvarc {

Status Options::Parse(const std::vector<std::string>& args, std::initializer_list<const char*> switches,
                      std::initializer_list<const char*> valued) {
  CLI::App app;
  // Help is one of the command's switches: the command prints its own text.
  app.set_help_flag();
  std::map<std::string, CLI::Option*> declared;
  for (const char* s : switches) {
    std::string name = s;
    declared[name] = app.add_flag(name == "--help" ? "-h,--help" : name);
  }
  std::map<std::string, std::string> values;
  for (const char* v : valued) {
    declared[v] = app.add_option(v, values[v])->type_name("VALUE");
  }
  app.add_option("ARGS", positional_);
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    // The help switch wins over a mistake elsewhere on the line.
    if (declared.count("--help") && declared["--help"]->count()) given_["--help"] = "";
    return Status::Usage(e.what());
  }
  for (const auto& [name, option] : declared) {
    if (option->count()) given_[name] = values.count(name) ? values[name] : "";
  }
  return {};
}

Status Options::CountPositional(size_t least, size_t most, const std::string& needs) const {
  if (positional_.size() < least) return Status::Usage(needs);
  if (positional_.size() > most) return Status::Usage("unexpected '" + positional_[most] + "'; " + needs);
  return {};
}

std::string Options::Value(const std::string& name) const {
  auto it = given_.find(name);
  return it == given_.end() ? std::string() : it->second;
}

}  // namespace tlvarc

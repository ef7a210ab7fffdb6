#include "options.h"

#include <cstring>

namespace tlvarc {

Status Options::Parse(const std::vector<std::string>& args, std::initializer_list<const char*> switches,
                      std::initializer_list<const char*> valued) {
  bool only_positional = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_positional || arg.size() < 2 || arg[0] != '-') {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_positional = true;
      continue;
    }
    bool known = false;
    for (const char* s : switches) {
      if (arg == s) {
        given_[arg] = "";
        known = true;
      }
    }
    for (const char* v : valued) {
      if (arg != v) continue;
      if (i + 1 >= args.size()) return Status::Usage(arg + " needs a value");
      given_[arg] = args[++i];
      known = true;
    }
    if (!known) return Status::Usage("unknown option " + arg);
  }
  return {};
}

std::string Options::Value(const std::string& name) const {
  auto it = given_.find(name);
  return it == given_.end() ? std::string() : it->second;
}

}  // namespace tlvarc

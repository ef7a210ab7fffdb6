// The command line of one command: options it knows, the rest positional.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "status.h"

namespace tlvarc {

class Options {
 public:
  // `switches` take no value (--long; "--help" also answers to -h); `valued`
  // take the next argument (--from DIR). Parsed by CLI11: a usage error names
  // the offending word.
  Status Parse(const std::vector<std::string>& args, std::initializer_list<const char*> switches,
               std::initializer_list<const char*> valued);
  bool Has(const std::string& name) const { return given_.count(name) != 0; }
  std::string Value(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  // A usage error unless `least` to `most` positional words were given:
  // `needs` when too few, the first extra word named when too many.
  Status CountPositional(size_t least, size_t most, const std::string& needs) const;

 private:
  std::map<std::string, std::string> given_;
  std::vector<std::string> positional_;
};

// The output streams and the environment a command works with, so tests can
// run commands in-process.
struct CommandIo {
  std::ostream& out;
  std::ostream& err;
};

}  // namespace tlvarc

// Runs the project's host tools (cedev and the device programs) as separate
// processes, the way a user or a script would, and collects what they print.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tlvtest {

struct ToolResult {
  int exit_code = -1;  // -1: did not start or was killed
  std::string out;
  std::string err;
};

// The folder of the built programs: TLV_BIN_DIR (set by CTest), else the
// folder of the running test binary.
std::filesystem::path BinDir();

// Runs BinDir()/tool with args; extra_env entries are "NAME=VALUE".
ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                   const std::vector<std::string>& extra_env = {});

// Runs BinDir()/tool with a pseudo-terminal as its controlling terminal,
// stdin, stdout and stderr, the way a person at a terminal runs it: each
// time the terminal shows the next text of `prompts`, the matching line of
// `typed` is typed (with Enter). `out` is everything the terminal showed.
ToolResult RunToolAtTerminal(const std::string& tool, const std::vector<std::string>& args,
                             const std::vector<std::string>& prompts, const std::vector<std::string>& typed,
                             const std::vector<std::string>& extra_env = {});

// A temporary folder removed with everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tlvtest

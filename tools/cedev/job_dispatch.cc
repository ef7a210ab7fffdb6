// `cedev job`: the device is opened like for every command, scripted answers
// are handed to the message boxes of this process, and the job itself runs in
// the job command's own code.
#include <cstdlib>

#include "commands.h"
#include "job_command.h"

namespace cedev::tool {

int RunJob(const CommandArgs& args, CommandContext& ctx) {
  CommandArgs rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--answer") {
      if (i + 1 >= args.size()) return Usage(ctx, "job", "--answer needs a list of answers");
      ::setenv("CEDEV_ANSWERS", args[++i].c_str(), 1);
    } else {
      rest.push_back(args[i]);
    }
  }
  if (!OpenDevice(ctx)) return kExitFailure;
  return RunJobCommand(rest);
}

}  // namespace cedev::tool

// `cedev job`: the command line is checked first (a usage error needs no
// device), then the device is opened like for every command and the job
// runs in the job command's own code.
#include "commands.h"
#include "job_command.h"

namespace cedev::tool {

int RunJob(const CommandArgs& args, CommandContext& ctx) {
  JobRequest request;
  if (auto code = ParseJobCommand(args, &request, ctx.out, ctx.err)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  return RunJobRequest(request);
}

}  // namespace cedev::tool

// `cedev reset` and `cedev boot`.
#include <ostream>

#include "boot.h"
#include "ce/errors.h"
#include "commands.h"
#include "reset.h"

namespace cedev::tool {

int RunReset(const CommandArgs& args, CommandContext& ctx) {
  if (args.size() != 1 || (args[0] != "--full" && args[0] != "--soft")) {
    return Usage(ctx, "reset", "needs --full or --soft");
  }
  if (!OpenDevice(ctx)) return kExitFailure;
  std::string error;
  bool ok = args[0] == "--full" ? FullReset(&error) : SoftReset(&error);
  if (!ok) return Failure(ctx, ctx.device_dir.string() + ": reset failed: " + error);
  return kExitOk;
}

int RunBoot(const CommandArgs& args, CommandContext& ctx) {
  if (!args.empty()) return Usage(ctx, "boot", "takes no arguments");
  if (!OpenDevice(ctx)) return kExitFailure;
  if (!BootDevice(false)) {
    return Failure(ctx, ctx.device_dir.string() + ": a boot program did not start: " + ErrorText(GetLastError()));
  }
  return kExitOk;
}

}  // namespace cedev::tool

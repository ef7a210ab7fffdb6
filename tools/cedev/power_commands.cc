// `cedev reset` and `cedev boot`.
#include <ostream>

#include "boot.h"
#include "ce/errors.h"
#include "commands.h"
#include "reset.h"

namespace cedev::tool {

int RunReset(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "reset");
  bool full = false, soft = false;
  parser.app().add_flag("--full", full);
  parser.app().add_flag("--soft", soft);
  if (auto code = parser.Parse(args)) return *code;
  if (full == soft) return parser.UsageError("needs --full or --soft (one of them)");
  if (!OpenDevice(ctx)) return kExitFailure;
  std::string error;
  bool ok = full ? FullReset(&error) : SoftReset(&error);
  if (!ok) return Failure(ctx, ctx.device_dir.string() + ": reset failed: " + error);
  return kExitOk;
}

int RunBoot(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "boot");
  if (auto code = parser.Parse(args)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  if (!BootDevice(false)) {
    return Failure(ctx, ctx.device_dir.string() + ": a boot program did not start: " + ErrorText(GetLastError()));
  }
  return kExitOk;
}

}  // namespace cedev::tool

// `cedev db list|dump`: the object-store databases as readable text.
#include <ostream>

#include "commands.h"
#include "reg_text.h"

namespace cedev::tool {

int RunDb(const CommandArgs& args, CommandContext& ctx) {
  if (args.empty() || (args[0] != "list" && args[0] != "dump")) return Usage(ctx, "db", "needs list or dump");
  if (args[0] == "list" && args.size() != 1) return Usage(ctx, "db", "list takes no arguments");
  if (args.size() > 2) return Usage(ctx, "db", "dump takes at most one NAME");
  if (!OpenDevice(ctx)) return kExitFailure;
  std::string text, why;
  bool ok = args[0] == "list" ? ListDatabases(&text, &why) : DumpDatabases(args.size() == 2 ? args[1] : "", &text, &why);
  if (!ok) return Failure(ctx, why);
  ctx.out << text;
  return kExitOk;
}

}  // namespace cedev::tool

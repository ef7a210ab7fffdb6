// `cedev db list|dump`: the object-store databases as readable text.
#include <ostream>

#include "commands.h"
#include "reg_text.h"

namespace cedev::tool {

int RunDb(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "db");
  parser.app().require_subcommand(1);
  CLI::App* list = parser.app().add_subcommand("list");
  std::string name;
  parser.app().add_subcommand("dump")->add_option("NAME", name);
  if (auto code = parser.Parse(args)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  std::string text, why;
  bool ok = list->parsed() ? ListDatabases(&text, &why) : DumpDatabases(name, &text, &why);
  if (!ok) return Failure(ctx, why);
  ctx.out << text;
  return kExitOk;
}

}  // namespace cedev::tool

// `cedev events`: the device's journal, oldest first.
#include <ctime>
#include <iomanip>
#include <ostream>

#include "commands.h"
#include "journal.h"

namespace cedev::tool {
namespace {

std::string FormatTime(int64_t ms) {
  std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  char frac[8];
  std::snprintf(frac, sizeof frac, ".%03d", static_cast<int>(ms % 1000));
  return std::string(buf) + frac;
}

}  // namespace

int RunEvents(const CommandArgs& args, CommandContext& ctx) {
  int64_t after = 0;
  std::string kind;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--after" && i + 1 < args.size()) {
      after = std::strtoll(args[++i].c_str(), nullptr, 10);
    } else if (args[i] == "--kind" && i + 1 < args.size()) {
      kind = args[++i];
    } else {
      return Usage(ctx, "events", "unexpected '" + args[i] + "'");
    }
  }
  if (!OpenDevice(ctx)) return kExitFailure;
  for (const auto& e : JournalRead(after)) {
    if (!kind.empty() && e.kind != kind) continue;
    ctx.out << e.seq << " " << FormatTime(e.time_ms) << "Z pid " << e.pid << " " << e.kind << ": " << e.text << "\n";
  }
  return kExitOk;
}

}  // namespace cedev::tool

// `cedev events`: the device's journal, oldest first.
#include <ctime>
#include <iomanip>
#include <ostream>
#include <vector>

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

// The kinds of entry the device journals, for --kind.
const std::vector<std::string> kKinds = {"boot",    "buzzer",  "calibration", "ctlpnl", "cursor", "debug",
                                          "fault",   "key",     "msgbox",      "peghelp", "process", "reset",
                                          "sound",   "welcome"};

}  // namespace

int RunEvents(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "events");
  int64_t after = 0;
  std::string kind;
  parser.app().add_option("--after", after);
  parser.app().add_option("--kind", kind)->check(tlvcli::OneOf(kKinds));
  if (auto code = parser.Parse(args)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  for (const auto& e : JournalRead(after)) {
    if (!kind.empty() && e.kind != kind) continue;
    ctx.out << e.seq << " " << FormatTime(e.time_ms) << "Z pid " << e.pid << " " << e.kind << ": " << e.text << "\n";
  }
  return kExitOk;
}

}  // namespace cedev::tool

// `cedev fault`: arms and clears the kernel's injected faults.
#include <ostream>

#include "ce/errors.h"
#include "commands.h"
#include "faults.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

const char* const kOps[] = {"file.open",   "file.create", "file.read",   "file.write",  "file.delete",
                            "file.replace", "file.vanish", "file.resize", "volume.full", "reg.open",
                            "reg.create",  "reg.set",     "reg.query",   "reg.delete",  "reg.query.data",
                            "db.open",     "db.create",   "db.write",    "db.read",     "db.delete"};

// The word for a fault that ends the program at the operation instead of failing it.
const char kEndsProgram[] = "KILL";

unsigned long FaultErrorFromText(const std::string& text) {
  return text == kEndsProgram ? kFaultEndsProgram : ErrorFromText(text);
}

std::string FaultErrorText(DWORD error) { return error == kFaultEndsProgram ? kEndsProgram : ErrorText(error); }

bool KnownOp(const std::string& op) {
  for (const char* known : kOps) {
    if (op == known) return true;
  }
  return false;
}

int Add(const CommandArgs& args, CommandContext& ctx) {
  std::vector<std::string> positional;
  int count = -1;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--count" && i + 1 < args.size()) {
      count = std::atoi(args[++i].c_str());
      if (count <= 0) return Usage(ctx, "fault", "--count needs a number above 0");
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() < 2 || positional.size() > 3) return Usage(ctx, "fault", "add needs OP TARGET [ERROR]");
  if (!KnownOp(positional[0])) return Usage(ctx, "fault", "unknown operation '" + positional[0] + "'");
  unsigned long error = positional.size() == 3 ? FaultErrorFromText(positional[2]) : ERROR_GEN_FAILURE;
  if (error == 0) return Usage(ctx, "fault", "unknown error '" + positional[2] + "'");
  if (!OpenDevice(ctx)) return kExitFailure;
  if (!AddFault(positional[0], FromUtf8(positional[1]), static_cast<DWORD>(error), count)) {
    return Failure(ctx, ctx.device_dir.string() + ": cannot record the fault in state.db");
  }
  return kExitOk;
}

}  // namespace

int RunFault(const CommandArgs& args, CommandContext& ctx) {
  if (args.empty()) return Usage(ctx, "fault", "needs add, list or clear");
  if (args[0] == "add") return Add(args, ctx);
  if (args.size() != 1) return Usage(ctx, "fault", "unexpected '" + args[1] + "'");
  if (args[0] != "list" && args[0] != "clear") return Usage(ctx, "fault", "unknown subcommand '" + args[0] + "'");
  if (!OpenDevice(ctx)) return kExitFailure;
  if (args[0] == "clear") {
    ClearFaults();
    return kExitOk;
  }
  for (const auto& f : ListFaults()) {
    ctx.out << f.op << " " << ToUtf8(f.target) << " " << FaultErrorText(f.error) << " "
            << (f.remaining < 0 ? std::string("always") : std::to_string(f.remaining) + " more") << "\n";
  }
  return kExitOk;
}

}  // namespace cedev::tool

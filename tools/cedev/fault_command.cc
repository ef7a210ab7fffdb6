// `cedev fault`: arms and clears the kernel's injected faults.
#include <ostream>

#include "ce/errors.h"
#include "commands.h"
#include "file_helpers.h"
#include "faults.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

const char* const kOps[] = {"file.open",   "file.create", "file.read",   "file.write",  "file.delete",
                            "file.replace", "file.vanish", "file.resize", "volume.full", "reg.open",
                            "reg.create",  "reg.set",     "reg.query",   "reg.delete",  "reg.query.data",
                            "db.open",     "db.create",   "db.write",    "db.read",     "db.delete",
                            "power.status", "thread.create"};

// The word for a fault that ends the program at the operation instead of failing it.
const char kEndsProgram[] = "KILL";

unsigned long FaultErrorFromText(const std::string& text) {
  return text == kEndsProgram ? kFaultEndsProgram : ErrorFromText(text);
}

std::string FaultErrorText(DWORD error) { return error == kFaultEndsProgram ? kEndsProgram : ErrorText(error); }

// A volume-wide operation named by a folder (volume.full '\FlashDisk') means
// the writes below it: the kernel asks with the path of the file written,
// which the folder's own name alone would never match.
std::u16string FaultTarget(const std::string& op, const std::string& target) {
  std::u16string path = FromUtf8(target);
  if (op != "volume.full" || path.find(u'*') != std::u16string::npos || !IsFolder(path)) return path;
  // In the form the kernel names files: from the root, with backslashes.
  for (char16_t& c : path) c = c == u'/' ? u'\\' : c;
  if (path.empty() || path[0] != u'\\') path.insert(path.begin(), u'\\');
  return Child(path, u"*");
}

struct FaultWords {
  std::string op, target, error;
  int count = -1;
};

int Add(const FaultWords& words, bool has_error, CommandContext& ctx) {
  unsigned long error = has_error ? FaultErrorFromText(words.error) : ERROR_GEN_FAILURE;
  if (error == 0) return Usage(ctx, "fault", "unknown error '" + words.error + "'");
  if (!OpenDevice(ctx)) return kExitFailure;
  if (!AddFault(words.op, FaultTarget(words.op, words.target), static_cast<DWORD>(error), words.count)) {
    return Failure(ctx, ctx.device_dir.string() + ": cannot record the fault in state.db");
  }
  return kExitOk;
}

}  // namespace

int RunFault(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "fault");
  CLI::App& app = parser.app();
  app.require_subcommand(1);
  FaultWords words;
  CLI::App* add = app.add_subcommand("add");
  std::vector<std::string> ops(std::begin(kOps), std::end(kOps));
  add->add_option("OP", words.op)->required()->check(tlvcli::OneOf(ops));
  add->add_option("TARGET", words.target)->required();
  CLI::Option* error = add->add_option("ERROR", words.error);
  add->add_option("--count", words.count)->check(CLI::PositiveNumber);
  CLI::App* list = app.add_subcommand("list");
  app.add_subcommand("clear");
  if (auto code = parser.Parse(args)) return *code;
  if (add->parsed()) return Add(words, error->count() > 0, ctx);
  if (!OpenDevice(ctx)) return kExitFailure;
  if (!list->parsed()) {
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

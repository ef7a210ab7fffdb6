#include <ostream>

#include "commands.h"

namespace tlvarc {
namespace {

constexpr const char* kHelp =
    "usage: tlvarc COMMAND [ARGS...]\n"
    "The archive tool for a PC: looks into, checks, unpacks and repacks the\n"
    "backup archives (Backup.dat, Registory.dat) that the handheld writes.\n"
    "\n"
    "  info FILE                       what the archive holds, in numbers\n"
    "  list FILE [PATTERN...]          every entry as a device path\n"
    "  verify FILE                     check the whole archive\n"
    "  extract FILE DIR [PATTERN...]   files, registry and databases into DIR\n"
    "  create FILE --from DIR          pack an extracted folder again\n"
    "  compare FILE OTHER              what differs between two archives\n"
    "  compare FILE --device DIR       what a restore would change on a device\n"
    "  passwd FILE                     set a new password\n"
    "\n"
    "tlvarc COMMAND --help explains a command. Passwords are asked at the\n"
    "terminal; without one they come from TLVARC_PASSWORD (and, for passwd,\n"
    "the new one from TLVARC_NEW_PASSWORD), never from the command line.\n";

}  // namespace

int Report(const Status& status, CommandIo io) {
  if (!status.ok()) io.err << "tlvarc: " << status.message() << "\n";
  return status.exit_code();
}

int RunTlvarc(const Args& argv, CommandIo io) {
  if (argv.empty() || argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
    (argv.empty() ? io.err : io.out) << kHelp;
    return argv.empty() ? 2 : 0;
  }
  const struct {
    const char* name;
    int (*run)(const Args&, CommandIo);
  } kCommands[] = {{"info", RunInfo},       {"list", RunList},       {"verify", RunVerify}, {"extract", RunExtract},
                   {"create", RunCreate},   {"compare", RunCompare}, {"passwd", RunPasswd}};
  Args rest(argv.begin() + 1, argv.end());
  for (const auto& c : kCommands)
    if (argv[0] == c.name) return c.run(rest, io);
  io.err << "tlvarc: unknown command " << argv[0] << "\n" << kHelp;
  return 2;
}

}  // namespace tlvarc

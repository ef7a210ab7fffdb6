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
    "  help [COMMAND]                  this text, or a command's\n"
    "\n"
    "'tlvarc help COMMAND' (or 'tlvarc COMMAND --help') explains a command and\n"
    "its exit status. Passwords are asked at the terminal; without one they\n"
    "come from TLVARC_PASSWORD (and, for passwd, the new one from\n"
    "TLVARC_NEW_PASSWORD), never from the command line.\n"
    "Exit status: 0 done, 2 usage error; each command adds its own.\n";

constexpr const char* kHelpHelp =
    "usage: tlvarc help [COMMAND]\n"
    "Explains COMMAND, or lists the commands.\n"
    "Exit status: 0 shown, 2 unknown command.\n";

}  // namespace

int Report(const Status& status, CommandIo io) {
  if (!status.ok()) io.err << "tlvarc: " << status.message() << "\n";
  return status.exit_code();
}

namespace {

using CommandFn = int (*)(const Args&, CommandIo);

CommandFn FindCommand(const std::string& name) {
  static const struct {
    const char* name;
    CommandFn run;
  } kCommands[] = {{"info", RunInfo},     {"list", RunList},       {"verify", RunVerify}, {"extract", RunExtract},
                   {"create", RunCreate}, {"compare", RunCompare}, {"passwd", RunPasswd}};
  for (const auto& c : kCommands)
    if (name == c.name) return c.run;
  return nullptr;
}

// `tlvarc help [COMMAND]`: the tool's help, or the command's own.
int RunHelp(const Args& args, CommandIo io) {
  if (args.empty()) return io.out << kHelp, 0;
  if (args.size() == 1 && (args[0] == "help" || args[0] == "-h" || args[0] == "--help")) return io.out << kHelpHelp, 0;
  CommandFn command = FindCommand(args[0]);
  if (!command || args.size() > 1) {
    io.err << "tlvarc help: " << (command ? "unexpected '" + args[1] + "'" : "unknown command '" + args[0] + "'")
           << "\nusage: tlvarc help [COMMAND]\n";
    return 2;
  }
  return command({"--help"}, io);
}

}  // namespace

int RunTlvarc(const Args& argv, CommandIo io) {
  if (argv.empty()) return io.err << kHelp, 2;
  if (argv[0] == "--help" || argv[0] == "-h") return io.out << kHelp, 0;
  Args rest(argv.begin() + 1, argv.end());
  if (argv[0] == "help") return RunHelp(rest, io);
  if (CommandFn command = FindCommand(argv[0])) return command(rest, io);
  io.err << "tlvarc: unknown command '" << argv[0] << "'\n" << kHelp;
  return 2;
}

}  // namespace tlvarc

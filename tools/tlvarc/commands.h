// The commands of tlvarc, one file each. Each takes its arguments (after
// the command name) and answers the process exit code.
#pragma once

#include <string>
#include <vector>

#include "options.h"

namespace tlvarc {

class ArchiveFile;
using Args = std::vector<std::string>;

int RunInfo(const Args& args, CommandIo io);
int RunList(const Args& args, CommandIo io);
int RunVerify(const Args& args, CommandIo io);
int RunExtract(const Args& args, CommandIo io);
int RunCreate(const Args& args, CommandIo io);
int RunCompare(const Args& args, CommandIo io);
int RunPasswd(const Args& args, CommandIo io);

// The dispatcher: `tlvarc COMMAND ARGS...`, help included.
int RunTlvarc(const Args& argv, CommandIo io);

// Without `asked`, refuses an archive that has a password as a usage error
// (exit 2: "give --password"); with it, asks
// for the password and refuses a wrong one (exit 3).
Status CheckPassword(const ArchiveFile& archive, bool asked);

// Prints "tlvarc: MESSAGE" and answers the status's exit code.
int Report(const Status& status, CommandIo io);

}  // namespace tlvarc

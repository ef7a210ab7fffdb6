// tlvarc passwd: a new password for an archive. Only the password block
// changes; the new archive is written beside the old one and moved over it
// once complete, so a crash leaves the original whole.
#include <unistd.h>

#include <cstdlib>
#include <ostream>
#include <vector>

#include "archive_file.h"
#include "commands.h"
#include "host_stream.h"
#include "node_writer.h"
#include "terminal.h"

namespace tlvarc {
namespace {

constexpr const char* kHelp =
    "usage: tlvarc passwd FILE\n"
    "Sets a new password on the archive (an empty one removes it). Asks for the\n"
    "old password when one is set, then for the new one; without a terminal they\n"
    "come from TLVARC_PASSWORD and TLVARC_NEW_PASSWORD. Only the password block\n"
    "is rewritten, and the original stays whole until the new file is complete.\n"
    "Exit status: 0 done, 2 usage or I/O error, 3 wrong old password.\n";

Status AskNewPassword(const std::string& file, std::u16string* password) {
  TLVARC_TRY(AskPassword("New password for " + file, kNewPasswordEnv, password));
  // Asked twice at a terminal; the variable gives the same answer twice.
  std::u16string again;
  TLVARC_TRY(AskPassword("Retype the new password", kNewPasswordEnv, &again));
  if (again != *password) return Status::Usage("the two new passwords differ; nothing was changed");
  if (password->size() > size_t(archive::kMaxPasswordLength))
    return Status::Usage("a password has at most " + std::to_string(archive::kMaxPasswordLength) + " characters");
  return {};
}

Status ChangePassword(const std::string& file) {
  HostReadStream in;
  TLVARC_TRY(in.Open(file));
  uint8_t header[archive::kNodeStreamOffset];
  int32_t got = 0;
  in.Read(header, sizeof header, &got);
  if (!in.Error().empty()) return Status::Io(in.Error());
  ArchiveHeader parsed;
  TLVARC_TRY(ParseHeader(header, size_t(got), file, &parsed));
  if (!parsed.has_password_block)
    return Status::Usage(file + ": the older format (version 0x00010001) has no password block");
  if (parsed.PasswordSet()) {
    std::u16string old;
    TLVARC_TRY(AskPassword("Old password for " + file, kPasswordEnv, &old));
    if (!parsed.Accepts(old)) return Status::BadPassword(file + ": wrong password");
  }
  std::u16string fresh;
  TLVARC_TRY(AskNewPassword(file, &fresh));
  MakePasswordBlock(fresh, header + archive::kPasswordBlockOffset);

  HostWriteStream out;
  TLVARC_TRY(out.Create(file));
  int32_t put = 0;
  if (!out.Write(header, sizeof header, &put)) return Status::Io(out.Error());
  std::vector<uint8_t> buffer(1 << 20);
  for (;;) {
    got = 0;
    in.Read(buffer.data(), int32_t(buffer.size()), &got);
    if (!in.Error().empty()) return Status::Io(in.Error());
    if (got == 0) break;
    if (!out.Write(buffer.data(), got, &put)) return Status::Io(out.Error());
  }
  return out.Commit();
}

}  // namespace

int RunPasswd(const Args& args, CommandIo io) {
  Options options;
  Status parsed = options.Parse(args, {"--help"}, {});
  if (options.Has("--help")) return io.out << kHelp, 0;
  if (parsed.ok()) parsed = options.CountPositional(1, 1, "passwd needs exactly one archive");
  if (!parsed.ok()) return io.err << kHelp, Report(parsed, io);
  Status status = ChangePassword(options.Positional()[0]);
  if (status.ok()) io.out << options.Positional()[0] << ": password changed\n";
  return Report(status, io);
}

}  // namespace tlvarc

// Help and exit codes of every command of both tools, from one table: each
// command answers -h, --help and "help COMMAND" with the same text, which
// starts with its usage and documents its exit status, and each refuses a
// bad command line with exit 2 and a message that names the offending word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_runner.h"

namespace tlvtest {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

struct CommandCase {
  const char* tool;
  const char* command;
  std::vector<std::string> bad_args;  // a usage error; no device or file is needed to see it
  const char* offending;             // the word its message names
};

const CommandCase kCommands[] = {
    {"cedev", "init", {"a", "b"}, "b"},
    {"cedev", "info", {"--verbose"}, "--verbose"},
    {"cedev", "ls", {"-x"}, "-x"},
    {"cedev", "get", {"\\a"}, "HOSTPATH"},
    {"cedev", "put", {"a", "\\b", "c"}, "c"},
    {"cedev", "mkdir", {"-q", "\\a"}, "-q"},
    {"cedev", "rm", {"-f", "\\a"}, "-f"},
    {"cedev", "mv", {"\\a"}, "TO"},
    {"cedev", "cp", {"\\a", "\\b", "\\c"}, "\\c"},
    {"cedev", "attrib", {"\\a", "+q"}, "+q"},
    {"cedev", "touch", {"\\a", "--time", "soon"}, "soon"},
    {"cedev", "reg", {"copy", "HKLM"}, "copy"},
    {"cedev", "db", {"drop"}, "drop"},
    {"cedev", "set", {"colour", "blue"}, "colour"},
    {"cedev", "volume", {"eject", "FlashDisk"}, "eject"},
    {"cedev", "reset", {"--hard"}, "--hard"},
    {"cedev", "boot", {"now"}, "now"},
    {"cedev", "run", {"--answer", "maybe", "x"}, "--answer"},
    {"cedev", "events", {"--kind", "bogus"}, "bogus"},
    {"cedev", "fault", {"add", "file.mangle", "*"}, "file.mangle"},
    {"cedev", "job", {"copy"}, "copy"},
    {"cedev", "help", {"frobnicate"}, "frobnicate"},
    {"tlvarc", "info", {"a.dat", "b.dat"}, "b.dat"},
    {"tlvarc", "list", {"a.dat", "--wide"}, "--wide"},
    {"tlvarc", "verify", {"a.dat", "--jsn"}, "--jsn"},
    {"tlvarc", "extract", {"a.dat"}, "folder"},
    {"tlvarc", "create", {"a.dat", "--from"}, "--from"},
    {"tlvarc", "compare", {"a.dat", "b.dat", "c.dat"}, "c.dat"},
    {"tlvarc", "passwd", {"a.dat", "--new", "x"}, "--new"},
    {"tlvarc", "help", {"frobnicate"}, "frobnicate"},
};

TEST(CommandLines, EveryCommandHasHelpThatDocumentsItsExitStatus) {
  for (const auto& c : kCommands) {
    std::string name = std::string(c.tool) + " " + c.command;
    ToolResult long_help = RunTool(c.tool, {c.command, "--help"});
    EXPECT_EQ(long_help.exit_code, 0) << name << ": " << long_help.err;
    EXPECT_THAT(long_help.out, StartsWith("usage: " + name)) << name;
    EXPECT_THAT(long_help.out, HasSubstr("Exit status")) << name;
    ToolResult short_help = RunTool(c.tool, {c.command, "-h"});
    EXPECT_EQ(short_help.exit_code, 0) << name;
    EXPECT_EQ(short_help.out, long_help.out) << name;
    ToolResult help_command = RunTool(c.tool, {"help", c.command});
    EXPECT_EQ(help_command.exit_code, 0) << name;
    EXPECT_EQ(help_command.out, long_help.out) << name;
  }
}

TEST(CommandLines, UsageErrorsExitTwoAndNameTheOffendingWord) {
  for (const auto& c : kCommands) {
    std::string name = std::string(c.tool) + " " + c.command;
    std::vector<std::string> args = {c.command};
    args.insert(args.end(), c.bad_args.begin(), c.bad_args.end());
    ToolResult bad = RunTool(c.tool, args);
    EXPECT_EQ(bad.exit_code, 2) << name << ": " << bad.out << bad.err;
    EXPECT_THAT(bad.err, HasSubstr(c.offending)) << name;
    EXPECT_THAT(bad.err, HasSubstr("usage: ")) << name << " shows how it is used";
    EXPECT_EQ(bad.out, "") << name;
  }
}

TEST(CommandLines, EveryCommandIsListedByTheToolsHelp) {
  ToolResult cedev = RunTool("cedev", {"help"});
  ToolResult tlvarc = RunTool("tlvarc", {"help"});
  ASSERT_EQ(cedev.exit_code, 0);
  ASSERT_EQ(tlvarc.exit_code, 0);
  for (const auto& c : kCommands) {
    const std::string& listing = std::string(c.tool) == "cedev" ? cedev.out : tlvarc.out;
    EXPECT_THAT(listing, HasSubstr(std::string("  ") + c.command + " ")) << c.tool << " " << c.command;
  }
  EXPECT_EQ(RunTool("tlvarc", {}).exit_code, 2);
  ToolResult unknown = RunTool("tlvarc", {"frobnicate"});
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_THAT(unknown.err, HasSubstr("'frobnicate'"));
  ToolResult global = RunTool("cedev", {"--colour", "info"});
  EXPECT_EQ(global.exit_code, 2);
  EXPECT_THAT(global.err, HasSubstr("'--colour'"));
  ToolResult no_folder = RunTool("cedev", {"-d"});
  EXPECT_EQ(no_folder.exit_code, 2);
  EXPECT_THAT(no_folder.err, HasSubstr("-d"));
}

}  // namespace
}  // namespace tlvtest

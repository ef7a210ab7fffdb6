// The behaviour both tools promise for their command lines: help answers 0
// with the command's own text, a usage error answers 2, names the offending
// word and shows the usage lines only.
#include "command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace tlvcli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kHelp =
    "usage: tool copy [-n] FROM TO\n"
    "       tool copy --list\n"
    "\n"
    "Copies FROM to TO.\n";

class CommandLineTest : public ::testing::Test {
 protected:
  // A command with a flag, an enumerated option and two positionals.
  std::optional<int> Parse(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    CommandLine line("tool copy", kHelp, out_, err_);
    line.app().add_flag("-n", dry_run_);
    line.app().add_option("--mode", mode_)->check(OneOf({"fast", "safe"}));
    line.app().add_option("FROM", from_)->required();
    line.app().add_option("TO", to_)->required();
    return line.Parse(args);
  }

  std::ostringstream out_, err_;
  bool dry_run_ = false;
  std::string mode_, from_, to_;
};

TEST_F(CommandLineTest, HelpPrintsTheWholeTextAndAnswersZero) {
  for (std::vector<std::string> args : {std::vector<std::string>{"-h"}, {"--help"}, {"a", "--help"}}) {
    EXPECT_EQ(Parse(args), 0);
    EXPECT_EQ(out_.str(), kHelp);
    EXPECT_EQ(err_.str(), "");
  }
}

TEST_F(CommandLineTest, ValuesReachTheCommand) {
  EXPECT_EQ(Parse({"-n", "a", "--mode", "safe", "b"}), std::nullopt);
  EXPECT_TRUE(dry_run_);
  EXPECT_EQ(mode_, "safe");
  EXPECT_EQ(from_, "a");
  EXPECT_EQ(to_, "b");
  EXPECT_EQ(Parse({"--", "-odd", "b"}), std::nullopt) << err_.str();
  EXPECT_EQ(from_, "-odd");
}

TEST_F(CommandLineTest, UsageErrorsNameTheWordAndShowOnlyTheUsage) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"a", "b", "--colour"}, "--colour"},
      {{"a", "b", "c"}, "c"},
      {{"a", "b", "--mode", "slow"}, "slow"},
      {{"a"}, "TO"},
      {{"a", "b", "--mode"}, "--mode"},
  };
  for (const auto& [args, word] : cases) {
    EXPECT_EQ(Parse(args), kExitUsage) << word;
    EXPECT_THAT(err_.str(), HasSubstr("tool copy: ")) << word;
    EXPECT_THAT(err_.str(), HasSubstr(word));
    EXPECT_THAT(err_.str(), HasSubstr("usage: tool copy [-n] FROM TO\n       tool copy --list\n"));
    EXPECT_THAT(err_.str(), Not(HasSubstr("Copies FROM"))) << "the description stays out of errors";
    EXPECT_EQ(out_.str(), "");
  }
}

TEST(CommandLine, UnknownSubcommandIsNamedWithTheKnownOnes) {
  std::ostringstream out, err;
  CommandLine line("tool db", "usage: tool db list|dump\n", out, err);
  line.app().require_subcommand(1);
  line.app().add_subcommand("list");
  line.app().add_subcommand("dump");
  EXPECT_EQ(line.Parse({"drop"}), kExitUsage);
  EXPECT_THAT(err.str(), HasSubstr("'drop'"));
  EXPECT_THAT(err.str(), HasSubstr("list, dump"));
}

TEST(UsageLines, StopAtTheDescription) {
  EXPECT_EQ(UsageLines(kHelp), "usage: tool copy [-n] FROM TO\n       tool copy --list\n");
  EXPECT_EQ(UsageLines("usage: tool x FILE\nDoes x.\n"), "usage: tool x FILE\n");
  EXPECT_EQ(UsageLines("no usage here\n"), "");
}

}  // namespace
}  // namespace tlvcli

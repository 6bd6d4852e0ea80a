// korvane check as a user runs it: arguments, help, exit status, machines given or not.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace korvane {
namespace {

using test::RunCommand;
using test::ShellQuote;

std::string Cli() { return ShellQuote(KORVANE_CLI); }

TEST(CliCheckTest, UsageErrorsExitWithTwo) {
  for (const char* args : {"check", "check --json", "check --machine", "check --machine '' a.avi",
                           "check --machine a --machine b x.avi", "check --bogus x.avi"}) {
    const auto r = RunCommand(Cli() + " " + args);
    EXPECT_EQ(r.exitCode, 2) << args;
    EXPECT_NE(r.err.find("usage: korvane check"), std::string::npos) << args;
    EXPECT_EQ(r.out, "") << args;
  }
}

TEST(CliCheckTest, HelpTellsTheOptionsAndTheExitStatus) {
  const auto help = RunCommand(Cli() + " check --help");
  EXPECT_EQ(help.exitCode, 0);
  for (const char* part :
       {"--machine DIR", "--json", "vidc.XXXX", "\"playable here\"", "Exit status: 0"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
  const auto top = RunCommand(Cli() + " --help");
  EXPECT_NE(top.out.find("  check "), std::string::npos);
}

}  // namespace
}  // namespace korvane

// korvane dump as a user runs it: output, report file, errors and exit status.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace korvane {
namespace {

using test::Cli;
using test::RunCommand;
using test::ShellQuote;

class CliDumpTest : public ::testing::Test {
 protected:
  test::ScratchDir scratch;
};

TEST_F(CliDumpTest, DumpsEachFileInOrderWithThePathAsGiven) {
  scratch.Write("a.avi", std::string("RIFF\x04\0\0\0AVI ", 12) + std::string(20, 'x'));
  scratch.Write("b.avi", std::string(16, 'b'));
  const auto r =
      RunCommand("cd " + ShellQuote(scratch.path()) + " && " + Cli() + " dump a.avi ./b.avi");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto lines = test::SplitLines(r.out);
  ASSERT_EQ(lines.size(), 6u + 6u);
  EXPECT_EQ(lines[1], "a.avi - size 0x00000020 (32)");
  EXPECT_EQ(lines[4], "RIFF file");
  EXPECT_EQ(lines[7], "./b.avi - size 0x00000010 (16)");
  EXPECT_EQ(lines[8], "62 62 62 62 62 62 62 62 | 62 62 62 62 62 62 62 62 |bbbbbbbbbbbbbbbb");
}

TEST_F(CliDumpTest, UnopenableFileIsToldAndTheOthersStillDumped) {
  const std::string good = scratch.Write("good.avi", std::string(32, 'g'));
  const std::string missing = scratch.path() + "/missing.avi";
  const auto r = RunCommand(Cli() + " dump " + ShellQuote(missing) + " " + ShellQuote(good));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "can't open " + missing + "\n");
  EXPECT_EQ(test::SplitLines(r.out).size(), 2u + 2u + 3u);
}

TEST_F(CliDumpTest, ReportFileHasTheSameLinesWithCrLf) {
  const std::string file = scratch.Write("c.avi", std::string(48, 'c'));
  const std::string report = scratch.path() + "/report.txt";
  const auto toStdout = RunCommand(Cli() + " dump " + ShellQuote(file));
  const auto toFile = RunCommand(Cli() + " dump -o " + ShellQuote(report) + " " + ShellQuote(file));
  EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
  EXPECT_EQ(toFile.out, "");
  std::string expected;
  for (const std::string& line : test::SplitLines(toStdout.out)) expected += line + "\r\n";
  EXPECT_EQ(test::ReadFile(report), expected);
}

TEST_F(CliDumpTest, ReportThatCannotBeWrittenFails) {
  const std::string file = scratch.Write("d.avi", std::string(48, 'd'));
  const auto r =
      RunCommand(Cli() + " dump -o " + ShellQuote(scratch.path() + "/no/such/dir/r.txt") + " " +
                 ShellQuote(file));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("can't save"), std::string::npos);
}

// Each usage error is one line on standard error that names the fault; nothing is dumped.
TEST_F(CliDumpTest, UsageErrorsAreOneLineAndExitWithTwo) {
  test::ExpectUsageErrors({
      KORVANE_USAGE_ERROR("dump", "korvane dump: no FILE given (see 'korvane dump --help')"),
      KORVANE_USAGE_ERROR("dump -o", "korvane dump: -o needs REPORT (see 'korvane dump --help')"),
      KORVANE_USAGE_ERROR(
          "dump -o '' x.avi",
          "korvane dump: -o needs REPORT, not an empty name (see 'korvane dump --help')"),
      KORVANE_USAGE_ERROR("dump -o a -o b x.avi",
                          "korvane dump: -o given twice (see 'korvane dump --help')"),
      KORVANE_USAGE_ERROR("dump --bogus x.avi",
                          "korvane dump: unknown option --bogus (see 'korvane dump --help')"),
      KORVANE_USAGE_ERROR("frobnicate",
                          "korvane: unknown command 'frobnicate' (see 'korvane --help')"),
      KORVANE_USAGE_ERROR("--frobnicate",
                          "korvane: unknown option --frobnicate (see 'korvane --help')"),
      KORVANE_USAGE_ERROR("''", "korvane: unknown command '' (see 'korvane --help')"),
  });
  // With no arguments at all, the overview goes to standard error.
  const auto bare = RunCommand(Cli());
  EXPECT_EQ(bare.exitCode, 2);
  EXPECT_EQ(bare.err.rfind("usage: korvane COMMAND", 0), 0u) << bare.err;
  EXPECT_EQ(bare.out, "");
}

TEST_F(CliDumpTest, HelpAndVersion) {
  const auto help = RunCommand(Cli() + " dump --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("-o REPORT"), std::string::npos);
  const auto top = RunCommand(Cli() + " --help");
  EXPECT_NE(top.out.find("dump"), std::string::npos);
  const auto version = RunCommand(Cli() + " --version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("korvane ", 0), 0u);
}

TEST_F(CliDumpTest, DashDashEndsOptions) {
  scratch.Write("-o", std::string(16, 'o'));
  const auto r = RunCommand("cd " + ShellQuote(scratch.path()) + " && " + Cli() + " dump -- -o");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(test::SplitLines(r.out)[1], "-o - size 0x00000010 (16)");
}

}  // namespace
}  // namespace korvane

// The help of every korvane command tells the truth: each option it names is accepted, each
// option it lists is in its usage line, and the overview names exactly the commands there are.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace korvane {
namespace {

using test::Cli;
using test::RunCommand;
using test::ShellQuote;

const char* const kCommands[] = {"dump", "run", "check", "codecs"};

struct UsageOption {
  std::string name;
  std::string value;  // empty for a flag
};

// The bracketed options of a usage line: "[--machine DIR]" and "[--json]".
std::vector<UsageOption> UsageOptions(const std::string& usage) {
  std::vector<UsageOption> options;
  const std::regex bracket(R"(\[(-{1,2}[a-z][-a-z]*)(?: ([^\]\s]+))?\])");
  for (std::sregex_iterator it(usage.begin(), usage.end(), bracket), end; it != end; ++it) {
    options.push_back({(*it)[1], (*it)[2]});
  }
  return options;
}

// The text up to the first blank line: the usage line and its continuation.
std::string UsageOf(const std::string& help) { return help.substr(0, help.find("\n\n")); }

// The options the help lists, one per line that starts with two spaces and a dash.
std::set<std::string> ListedOptions(const std::string& help) {
  std::set<std::string> names;
  const std::regex row(R"(^  (-[-a-z]+)(?:, (--[a-z]+))?)", std::regex::multiline);
  for (std::sregex_iterator it(help.begin(), help.end(), row), end; it != end; ++it) {
    names.insert((*it)[2].matched ? (*it)[2].str() : (*it)[1].str());
  }
  return names;
}

// A value of the kind the usage line asks for, that the option takes.
std::string ValueFor(const std::string& kind, const test::ScratchDir& scratch) {
  if (kind == "32|64") return "32";
  if (kind == "S") return "1";
  if (kind == "NAME[,NAME...]") return "none";
  if (kind == "REPORT") return scratch.path() + "/report.txt";
  return scratch.path() + "/" + kind;
}

TEST(CliHelp, EveryOptionInTheUsageLineIsAcceptedAndListed) {
  test::ScratchDir scratch;
  for (const char* command : kCommands) {
    const auto help = RunCommand(Cli() + " " + command + " --help");
    ASSERT_EQ(help.exitCode, 0) << command;
    EXPECT_EQ(help.err, "") << command;
    const std::string usage = UsageOf(help.out);
    EXPECT_EQ(usage.rfind(std::string("usage: korvane ") + command + " [", 0), 0u) << usage;

    const std::vector<UsageOption> options = UsageOptions(usage);
    const std::set<std::string> listed = ListedOptions(help.out);
    EXPECT_FALSE(options.empty()) << command;
    std::set<std::string> inUsage = {"--help"};
    for (const UsageOption& option : options) {
      inUsage.insert(option.name);
      std::string args = std::string(command) + " " + option.name;
      if (!option.value.empty()) args += " " + ShellQuote(ValueFor(option.value, scratch));
      const auto r = RunCommand(Cli() + " " + args + " " + ShellQuote(scratch.path() + "/x.avi"));
      // What happens next depends on the machine; the option itself is never the fault.
      EXPECT_EQ(r.err.find("unknown option"), std::string::npos) << args << ": " << r.err;
      EXPECT_EQ(r.err.find(option.name + " needs"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_EQ(listed, inUsage) << command << " lists options its usage line does not name";
  }
}

TEST(CliHelp, OverviewNamesEachCommandAndEachCommandHasHelp) {
  const auto top = RunCommand(Cli() + " --help");
  ASSERT_EQ(top.exitCode, 0);
  EXPECT_EQ(top.err, "");
  EXPECT_EQ(
      top.out.rfind("usage: korvane COMMAND [ARGS...]\n       korvane --help | --version\n", 0), 0u)
      << top.out;
  std::set<std::string> named;
  const std::regex row(R"(^  ([a-z]+) +[A-Z])", std::regex::multiline);
  for (std::sregex_iterator it(top.out.begin(), top.out.end(), row), end; it != end; ++it) {
    named.insert((*it)[1]);
  }
  EXPECT_EQ(named, (std::set<std::string>{"dump", "run", "check", "codecs"}));
  for (const char* flag : {"-h", "--help"}) {
    EXPECT_EQ(RunCommand(Cli() + " " + flag).out, top.out) << flag;
  }

  const auto version = RunCommand(Cli() + " --version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("korvane ") + KORVANE_VERSION + "\n");
}

// Help wins over everything else on its command line, and "--" makes it a file name.
TEST(CliHelp, HelpAnywhereShowsHelpUnlessAfterDoubleDash) {
  for (const char* command : kCommands) {
    const std::string prefix = Cli() + " " + command;
    const auto alone = RunCommand(prefix + " --help");
    const auto withFile = RunCommand(prefix + " x.avi --help");
    EXPECT_EQ(withFile.exitCode, 0) << command;
    EXPECT_EQ(withFile.out, alone.out) << command;
  }
  const auto file = RunCommand(Cli() + " dump -- --help");
  EXPECT_EQ(file.exitCode, 1);
  EXPECT_EQ(file.err, "can't open --help\n");
}

}  // namespace
}  // namespace korvane

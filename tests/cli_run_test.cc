// korvane run end to end: the example machine, the switches, the report file, the
// reasons, refusals and usage errors, and a machine with a very long registry.
#include <gtest/gtest.h>

#include <regex>

#include "tests/machine_builder.h"
#include "tests/pe_builder.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

using test::MachineFolder;
using test::RunCli;
using test::RunResult;
using test::ShellQuote;
using test::SplitLines;

const std::string kExample = std::string(KORVANE_SOURCE_DIR) + "/examples/win98se";

// A usage error of korvane run, as it says it.
std::string RunError(const std::string& message) {
  return "korvane run: " + message + " (see 'korvane run --help')";
}

std::vector<std::string> Headings(const std::vector<std::string>& lines) {
  std::vector<std::string> headings;
  for (const std::string& line : lines) {
    if (line.rfind("========", 0) == 0) headings.push_back(line);
  }
  return headings;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A probe line with its date and size replaced by "DATE SIZE", which the checkout decides.
std::string WithoutDate(const std::string& line) {
  static const std::regex date(" [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]+");
  return std::regex_replace(line, date, " DATE SIZE");
}

TEST(CliRun, ExampleMachineGivesTheWholeReport) {
  const RunResult r = RunCli("run --machine " + ShellQuote(kExample));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_GT(lines.size(), 40u);
  EXPECT_EQ(
      lines[0],
      "GetVersionEx() reports: ver. 4.10, build 0x40A08AE (2222), platform 1 (Win9x), \" A \"");
  EXPECT_EQ(Headings(lines),
            (std::vector<std::string>{
                "======== system.ini ========", "======== %WINDIR%\\System\\msvc*.* ========",
                "======== Loading DLL ========", "======== Well known DLLs ========",
                "======== capture drivers ====", "======== registry entries ===",
                "======== uninstall section =="}));
  for (std::string& line : lines) line = WithoutDate(line);
  for (const char* expected : {
           "Video for Windows version: 0x400",
           "msvcrt20.dll 0x20 DATE SIZE",
           "C:\\WINDOWS\\SYSTEM\\iccvid.dll 0x20 DATE SIZE Loaded Ok",
           "C:\\WINDOWS\\SYSTEM\\ir41_32.dll Not found",
           "C:\\WINDOWS\\SYSTEM\\divxc32.dll 0x20 DATE SIZE Failed to load",
           "C:\\WINDOWS\\SYSTEM\\x264vfw.dll 0x20 DATE SIZE Failed to load",
           "C:\\WINDOWS\\SYSTEM\\atl.dll Not found",
           "#0 Example TV card capture driver 4.10.2222",
           "HKCR\\AVIFile\\EditFlags = 0x00010000",
           "HKCR\\AVIFile\\DefaultIcon\\@ = \"invalid value type\"",
           "AVIFile\\Extensions\\AU - can't open key",
           "  DisplayName - can't get value",
       }) {
    EXPECT_TRUE(Contains(lines, WithoutDate(expected))) << expected;
  }
  EXPECT_EQ(
      lines.back(),
      "  UninstallString = C:\\WINDOWS\\IsUninst.exe -f\"C:\\Program Files\\TV Card\\Uninst.isu\"");
}

TEST(CliRun, ExamplePeFilesAreWhatTheScriptWrites) {
  if (std::system("python3 --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const RunResult r = test::RunCommand(
      "python3 " + ShellQuote(std::string(KORVANE_SOURCE_DIR) + "/scripts/make-example-pe.py") +
      " --check " + ShellQuote(kExample));
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(CliRun, TestsNamesExactlyTheSwitchesThatAreOn) {
  RunResult r = RunCli("run --machine " + ShellQuote(kExample) + " --tests none");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out).size(), 2u);
  EXPECT_EQ(SplitLines(r.out)[1], "Video for Windows version: 0x400");

  r = RunCli("run --machine " + ShellQuote(kExample) + " --tests systemIni");
  std::vector<std::string> lines = SplitLines(r.out);
  EXPECT_EQ(Headings(lines), (std::vector<std::string>{"======== system.ini ========"}));
  EXPECT_EQ(lines.back(), "Video for Windows version: 0x400");

  // ntTests on a 9x machine: the NT keys are not there, and the registry section comes
  // before the system.ini loading.
  r = RunCli("run --machine " + ShellQuote(kExample) + " --tests loadDll,ntTests");
  lines = SplitLines(r.out);
  EXPECT_EQ(
      Headings(lines),
      (std::vector<std::string>{
          "======== SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc entries ===",
          "======== Loading SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32 entries ===",
          "======== Loading DLL ========"}));
  EXPECT_TRUE(Contains(
      lines,
      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc - can't open key"));

  const struct {
    const char* args;
    const char* message;
  } kBadLists[] = {
      {"--tests systemini", "unknown test 'systemini' in --tests"},
      {"--tests systemIni,,msvcList", "--tests has an empty name in its list"},
      {"--tests none,loadDll", "unknown test 'none' in --tests"},
      {"--tests loadDll,", "--tests has an empty name in its list"},
      {"--tests ''", "--tests needs NAME[,NAME...], not an empty name"},
      {"--tests", "--tests needs NAME[,NAME...]"},
      {"--tests none --tests loadDll", "--tests given twice"},
  };
  for (const auto& bad : kBadLists) {
    r = RunCli("run --machine " + ShellQuote(kExample) + " " + bad.args);
    EXPECT_EQ(r.exitCode, 2) << bad.args;
    EXPECT_EQ(r.out, "") << bad.args;
    EXPECT_EQ(r.err, std::string("korvane run: ") + bad.message + " (see 'korvane run --help')\n")
        << bad.args;
  }
}

TEST(CliRun, ReportFileHoldsTheSameLinesWithCrLf) {
  test::ScratchDir scratch;
  const std::string report = scratch.path() + "/report.txt";
  const RunResult toFile =
      RunCli("run --machine " + ShellQuote(kExample) + " -o " + ShellQuote(report));
  ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
  EXPECT_EQ(toFile.out, "");
  const RunResult toStdout = RunCli("run --machine " + ShellQuote(kExample));
  std::string expected;
  for (const std::string& line : SplitLines(toStdout.out)) expected += line + "\r\n";
  EXPECT_EQ(test::ReadFile(report), expected);

  const RunResult cannot = RunCli("run --machine " + ShellQuote(kExample) + " -o " +
                                  ShellQuote(scratch.path() + "/no/such/folder/report.txt"));
  EXPECT_EQ(cannot.exitCode, 1);
  EXPECT_NE(cannot.err.find("can't save"), std::string::npos) << cannot.err;
}

TEST(CliRun, ExplainPutsAReasonUnderEachFailingProbe) {
  const RunResult plain = RunCli("run --machine " + ShellQuote(kExample));
  const RunResult explained = RunCli("run --machine " + ShellQuote(kExample) + " --explain");
  ASSERT_EQ(explained.exitCode, 0) << explained.err;
  const std::vector<std::string> lines = SplitLines(explained.out);
  std::vector<std::string> withoutReasons;
  int reasons = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("    reason: ", 0) != 0) {
      withoutReasons.push_back(lines[i]);
      continue;
    }
    ++reasons;
    ASSERT_GT(i, 0u);
    const std::string& probe = lines[i - 1];
    EXPECT_TRUE(std::regex_search(probe, std::regex("( Not found| Failed to load)$"))) << probe;
  }
  EXPECT_EQ(withoutReasons, SplitLines(plain.out));  // otherwise exactly the report
  int failing = 0;
  for (const std::string& line : withoutReasons) {
    failing += std::regex_search(line, std::regex("( Not found| Failed to load)$")) ? 1 : 0;
  }
  EXPECT_EQ(reasons, failing);
  const auto after = [&lines](const std::string& prefix) {
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
      if (lines[i].rfind(prefix, 0) == 0) return lines[i + 1];
    }
    return std::string();
  };
  EXPECT_EQ(after("C:\\WINDOWS\\SYSTEM\\divxc32.dll"),
            "    reason: imports MSVCP60.DLL, which is not on this machine");
  EXPECT_EQ(after("C:\\WINDOWS\\SYSTEM\\x264vfw.dll"),
            "    reason: built for x86-64, this machine runs i386 code");
  EXPECT_EQ(after("C:\\WINDOWS\\SYSTEM\\ir41_32.dll"),
            "    reason: C:\\WINDOWS\\SYSTEM has no ir41_32.dll");
}

TEST(CliRun, RefusalsAndUsageErrorsExitWithTwo) {
  MachineFolder machine;
  machine.Registry("[HKEY_LOCAL_MACHINE\\Software]\n\"Broken\"=hex:zz\n");
  RunResult r = RunCli("run --machine " + ShellQuote(machine.path()));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");  // nothing partial
  EXPECT_NE(r.err.find(machine.path() + "/registry.reg:4: cannot read the hex data"),
            std::string::npos)
      << r.err;

  // No machine named, and no Wine prefix to fall back on.
  test::ScratchDir home;
  r = test::RunCli("run", {"HOME=" + ShellQuote(home.path()), true});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("no machine found"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--machine PATH"), std::string::npos) << r.err;

  // Usage errors are told before any machine is looked at: one line, nothing run.
  test::ExpectUsageErrors({
      KORVANE_USAGE_ERROR("run --machine", RunError("--machine needs PATH")),
      KORVANE_USAGE_ERROR("run --machine ''", RunError("--machine needs PATH, not an empty name")),
      KORVANE_USAGE_ERROR("run --machine x --machine y", RunError("--machine given twice")),
      KORVANE_USAGE_ERROR("run -o", RunError("-o needs REPORT")),
      KORVANE_USAGE_ERROR("run -o a -o b", RunError("-o given twice")),
      KORVANE_USAGE_ERROR("run --verbose", RunError("unknown option --verbose")),
      KORVANE_USAGE_ERROR("run extra", RunError("unexpected argument 'extra'")),
      KORVANE_USAGE_ERROR("run -- extra", RunError("unexpected argument 'extra'")),
      KORVANE_USAGE_ERROR("run --explain --view", RunError("--view needs 32|64")),
  });
}

TEST(CliRun, LongRegistryListsAreListedInFull) {
  MachineFolder machine;
  std::string reg =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
      "\"CurrentVersion\"=\"5.0\"\n\"CurrentBuildNumber\"=\"2195\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]\n";
  for (int i = 0; i < 600; ++i) {
    reg += "\"vidc.c" + std::to_string(i) + "\"=\"codec" + std::to_string(i % 3 == 0 ? 0 : i) +
           ".dll\"\n";
  }
  for (int i = 0; i < 20000; ++i) {
    const std::string name = "Product" + std::to_string(i);
    reg += "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name +
           "]\n\"DisplayName\"=\"" + name + "\"\n\"UninstallString\"=\"C:\\\\" + name +
           "\\\\un.exe\"\n";
  }
  machine.Registry(reg);
  test::PeSpec spec;
  machine.File("WINDOWS/SYSTEM32/codec0.dll", test::BuildPe(spec));

  // How fast this runs is bench/make-machine.sh's and bench/run.sh's to measure.
  const RunResult r = RunCli("run --machine " + ShellQuote(machine.path()));
  ASSERT_EQ(r.exitCode, 0) << r.err;

  const std::vector<std::string> lines = SplitLines(r.out);
  size_t listed = 0, probed = 0, loaded = 0, uninstallLines = 0;
  bool inUninstall = false;
  for (const std::string& line : lines) {
    if (line.rfind("vidc.c", 0) == 0) ++listed;
    if (line.rfind("C:\\WINDOWS\\SYSTEM32\\codec", 0) == 0) ++probed;
    if (line.rfind("C:\\WINDOWS\\SYSTEM32\\codec0.dll", 0) == 0 && line.size() > 9 &&
        line.compare(line.size() - 9, 9, "Loaded Ok") == 0) {
      ++loaded;
    }
    if (inUninstall) ++uninstallLines;
    if (line == "======== uninstall section ==") inUninstall = true;
  }
  EXPECT_EQ(listed, 600u);
  EXPECT_EQ(probed, 511u);  // the driver list holds 511
  EXPECT_EQ(loaded, 171u);  // every third of the 511 names codec0.dll, which is there
  EXPECT_EQ(uninstallLines, 60000u);
}

}  // namespace
}  // namespace korvane

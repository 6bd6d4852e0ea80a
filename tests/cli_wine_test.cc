// korvane run and korvane check on Wine prefixes, as a user on Linux runs them: the
// views, --view errors, and the default machine found through $WINEPREFIX and $HOME.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/riff_builder.h"
#include "tests/test_support.h"
#include "tests/wine_prefix_builder.h"

namespace korvane {
namespace {

using test::RunCli;
using test::RunResult;
using test::ShellQuote;
using test::SplitLines;

const std::string kExample = std::string(KORVANE_SOURCE_DIR) + "/examples/win98se";

// korvane with an environment of its own, where no WINEPREFIX is set unless it sets one.
test::CliStart Env(const std::string& environment = "") { return {environment, true}; }

std::vector<std::string> WithoutDates(const std::string& out) {
  static const std::regex date(" [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]+");
  std::vector<std::string> lines = SplitLines(out);
  for (std::string& line : lines) line = std::regex_replace(line, date, " DATE SIZE");
  return lines;
}

const char kVersionLine[] =
    "GetVersionEx() reports: ver. 6.1, build 0x1DB1 (7601), platform 2 (WinNT), "
    "\"Service Pack 1\"";

class CliWine : public ::testing::Test {
 protected:
  void SetUp() override { test::FillTwoSidedPrefix(&prefix_); }
  std::string Prefix() const { return ShellQuote(prefix_.path()); }
  test::WinePrefixFolder prefix_;
};

TEST_F(CliWine, RunReadsThePrefixAsA32BitProgramByDefault) {
  const RunResult r = RunCli("run --machine " + Prefix() + " --tests ntTests,loadDll", Env());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(
      WithoutDates(r.out),
      (std::vector<std::string>{
          kVersionLine,
          "Video for Windows version: 0x400",
          "======== SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc entries ===",
          "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc - can't open key",
          "======== Loading SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32 entries ===",
          "vidc.cvid = codec32.dll",
          "C:\\windows\\syswow64\\codec32.dll 0x20 DATE SIZE Loaded Ok",
          "======== Loading DLL ========",
          "[drivers32]",
          "C:\\windows\\syswow64\\codec32.dll 0x20 DATE SIZE Loaded Ok",
      }));
}

TEST_F(CliWine, RunWithView64ReadsThe64BitSide) {
  const RunResult r =
      RunCli("run --machine " + Prefix() + " --view 64 --tests ntTests,loadDll --explain", Env());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> lines = WithoutDates(r.out);
  const std::vector<std::string> expected = {
      "msvideo = cap64.dll",
      "vidc.cvid = codec64.dll",
      "C:\\windows\\system32\\cap64.dll Not found",
      "    reason: C:\\windows\\system32 has no cap64.dll",
      "C:\\windows\\system32\\codec64.dll 0x20 DATE SIZE Loaded Ok",
      "======== Loading DLL ========",
      "[drivers32]",
      "C:\\windows\\system32\\codec32.dll Not found",
      "    reason: C:\\windows\\system32 has no codec32.dll",
  };
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - expected.size(), lines.end()), expected);
}

TEST_F(CliWine, RunUninstallAndWellKnownFollowTheView) {
  for (const char* view : {"32", "64"}) {
    const RunResult r = RunCli("run --machine " + Prefix() + " --view " + view +
                                   " --tests registryUninstall,wellKnownDlls,ntTests",
                               Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = WithoutDates(r.out);
    const bool is64 = std::string(view) == "64";
    const std::string dir = is64 ? "C:\\windows\\system32\\" : "C:\\windows\\syswow64\\";
    auto has = [&](const std::string& line) {
      return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has(dir + "msvfw32.dll 0x20 DATE SIZE Loaded Ok")) << view;
    EXPECT_TRUE(has(dir + "advapi32.dll Not found")) << view;
    EXPECT_TRUE(has(is64 ? "App64" : "App32")) << view;
    EXPECT_FALSE(has(is64 ? "App32" : "App64")) << view;
  }
}

TEST_F(CliWine, ViewErrorsAreUsageErrors) {
  RunResult r = RunCli("run --machine " + Prefix() + " --view 48", Env());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--view takes 32 or 64, not '48'"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  r = RunCli("run --machine " + ShellQuote(kExample) + " --view 64", Env());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--view applies to a Wine prefix; " + kExample + " is not one"),
            std::string::npos)
      << r.err;

  r = RunCli("run --machine " + ShellQuote(prefix_.scratch() + "/none") + " --view 64", Env());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "korvane run: " + prefix_.scratch() + "/none: no such folder\n");

  test::WinePrefixFolder prefix32("win32");
  r = RunCli("run --machine " + ShellQuote(prefix32.path()) + " --view 64", Env());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "korvane run: " + prefix32.path() +
                       ": a 32-bit Wine prefix (its system.reg does not say #arch=win64) has no "
                       "64-bit view\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(CliWine, DefaultMachineIsWineprefixThenDotWine) {
  const std::string tests = " run --tests none";
  RunResult r = RunCli(tests, Env("WINEPREFIX=" + Prefix() + " HOME=/nonexistent"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out)[0], kVersionLine);

  test::ScratchDir home;
  std::filesystem::create_directory_symlink(prefix_.path(), home.path() + "/.wine");
  for (const std::string& env : {std::string(), std::string("WINEPREFIX=")}) {
    r = RunCli(tests, Env(env + " HOME=" + ShellQuote(home.path())));
    EXPECT_EQ(r.exitCode, 0) << env << r.err;
    EXPECT_EQ(r.out, std::string(kVersionLine) + "\nVideo for Windows version: 0x400\n") << env;
  }
  r = RunCli("run --tests none --view 64", Env("HOME=" + ShellQuote(home.path())));
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(CliWine, NoDefaultMachineSaysHowToNameOne) {
  test::ScratchDir home;
  RunResult r = RunCli("run", Env("HOME=" + ShellQuote(home.path())));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "korvane run: no machine found: $WINEPREFIX is not set and " + home.path() +
                       "/.wine is not a Wine prefix; name one with --machine PATH (a Wine "
                       "prefix, a described machine folder, a Windows installation folder or "
                       "a disk image)\n");

  // $WINEPREFIX is the one Wine would use, so a wrong one is not passed over.
  std::filesystem::create_directory_symlink(prefix_.path(), home.path() + "/.wine");
  r = RunCli("run", Env("WINEPREFIX=" + ShellQuote(home.path() + "/none") +
                        " HOME=" + ShellQuote(home.path())));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "korvane run: no machine found: $WINEPREFIX is " + home.path() +
                       "/none, which is not a Wine prefix (no system.reg with a drive_c folder); "
                       "name one with --machine PATH (a Wine prefix, a described machine "
                       "folder, a Windows installation folder or a disk image)\n");

  r = RunCli("run", Env("-u HOME"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("neither $WINEPREFIX nor $HOME is set"), std::string::npos) << r.err;
}

TEST_F(CliWine, CheckOpensPrefixesToo) {
  test::ScratchDir files;
  const std::string avi = files.Write("cinepak.avi", test::Avi({test::VideoStream("cvid")}));
  RunResult r = RunCli("check --machine " + Prefix() + " " + ShellQuote(avi), Env());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(SplitLines(r.out)[0],
            "machine: " + prefix_.path() + ", Windows 6.01 build 7601 (WinNT)");
  EXPECT_NE(r.out.find("    loads: C:\\windows\\syswow64\\codec32.dll\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  verdict: playable here\n"), std::string::npos) << r.out;

  // Without --machine, the prefix of $WINEPREFIX.
  r = RunCli("check " + ShellQuote(avi), Env("WINEPREFIX=" + Prefix()));
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("    loads: C:\\windows\\syswow64\\codec32.dll\n"), std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace korvane

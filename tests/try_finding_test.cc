// The findings of korvane check --try: their one-line form between processes, the names of
// the Windows codes they carry, the Linux side's Wine and file placing, and the verdicts.
#include "cli/try_finding.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/check_report.h"
#include "cli/try_streams.h"
#include "cli/wine_try.h"
#include "tests/fake_system.h"
#include "tests/riff_builder.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

TEST(TryFindingLineTest, EveryOutcomeSurvivesTheLineAndOddTextIsKeptOnOneLine) {
  struct Case {
    TryFinding finding;
    std::string expectedText;  // what comes back, once tabs and breaks became spaces
  };
  const Case cases[] = {
      {{TryOutcome::kDecodes, "decodes: 10 frames, 320x240, 24-bit", 0, ""},
       "decodes: 10 frames, 320x240, 24-bit"},
      {{TryOutcome::kDoesNotDecode, "does not decode: no decompressor for 'MJPG'", 0, ""},
       "does not decode: no decompressor for 'MJPG'"},
      {{TryOutcome::kCrashed, "crashed: x", 0xC0000005u, "kvcrash.dll"}, "crashed: x"},
      {{TryOutcome::kHung, "hangs:\tno\r\nanswer", 0, ""}, "hangs: no  answer"},
      {{TryOutcome::kNotTried, "", 0, ""}, ""},
      {{TryOutcome::kCrashed, "c", 0xFFFFFFFFu, "odd\tname.dll"}, "c"},
  };
  for (const Case& c : cases) {
    const std::string line = FindingLine(7, 3, c.finding);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    const auto parsed = ParseFindingLine(line + "\r\n");
    ASSERT_TRUE(parsed.has_value()) << line;
    EXPECT_EQ(parsed->file, 7u);
    EXPECT_EQ(parsed->stream, 3u);
    EXPECT_EQ(parsed->finding.outcome, c.finding.outcome) << line;
    EXPECT_EQ(parsed->finding.text, c.expectedText);
    EXPECT_EQ(parsed->finding.exceptionCode, c.finding.exceptionCode);
    std::string module = c.finding.module;
    for (char& ch : module) ch = ch == '\t' ? ' ' : ch;
    EXPECT_EQ(parsed->finding.module, module);
  }
}

TEST(TryFindingLineTest, OtherLinesAreNotFindings) {
  for (const char* line :
       {"", "korvane-try", "fixme:avifile:something", "korvane-try\t0\t0\tdecodes\t0x0\t-",
        "korvane-try\tx\t0\tdecodes\t0x0\t-\ttext", "korvane-try\t0\t0\tplays\t0x0\t-\ttext",
        "korvane-try\t0\t0\tdecodes\t0x100000000\t-\ttext",
        "korvane-try\t-1\t0\tdecodes\t0x0\t-\ttext", "korvane-try\t0\t 1\tdecodes\t0\t-\tt",
        "Korvane-try\t0\t0\tdecodes\t0x0\t-\ttext", "korvane-try-stage\treading"}) {
    EXPECT_FALSE(ParseFindingLine(line).has_value()) << line;
  }
  EXPECT_TRUE(ParseFindingLine("korvane-try\t0\t0\tdecodes\t0\t-\ta\tb").has_value());
}

TEST(TryFindingLineTest, ChildOutputGivesItsFindingElseItsExitCodeAndLastStage) {
  struct Case {
    std::string output;
    uint32_t exitCode;
    TryOutcome outcome;
    std::string text;
  };
  const std::string found = FindingLine(0, 1, {TryOutcome::kDecodes, "decodes to PCM", 0, ""});
  const Case cases[] = {
      {"noise\n" + StageLine("a") + "\n" + found + "\n", 0, TryOutcome::kDecodes, "decodes to PCM"},
      {StageLine("opening") + "\n" + StageLine("decoding frame 2 (ICDecompress)") + "\n",
       0xC0000005u, TryOutcome::kCrashed,
       "crashed: exception 0xC0000005 (access violation) in an unknown module while decoding "
       "frame 2 (ICDecompress)"},
      {StageLine("reading the first blocks through AVIFile") + "\r\n", 3, TryOutcome::kCrashed,
       "crashed: aborted (exit code 3) while reading the first blocks through AVIFile"},
      {"", 0xC00000FDu, TryOutcome::kCrashed,
       "crashed: exception 0xC00000FD (stack overflow) in an unknown module"},
      {"", 0x80000003u, TryOutcome::kCrashed,
       "crashed: exception 0x80000003 (breakpoint) in an unknown module"},
      {"", 0xC0DE0001u, TryOutcome::kCrashed, "crashed: exception 0xC0DE0001 in an unknown module"},
      {"", 1, TryOutcome::kNotTried, "not tried: the try ended with exit code 1 and no finding"},
      {"", 0, TryOutcome::kNotTried, "not tried: the try ended with exit code 0 and no finding"},
  };
  for (const Case& c : cases) {
    const TryFinding finding = FindingFromChildOutput(c.output, c.exitCode);
    EXPECT_EQ(finding.outcome, c.outcome) << c.output;
    EXPECT_EQ(finding.text, c.text);
    EXPECT_EQ(finding.exceptionCode,
              c.outcome == TryOutcome::kCrashed && c.exitCode != 3 ? c.exitCode : 0u);
  }
  EXPECT_EQ(HungFinding(5000, "decoding frame 0 (ICDecompress)").text,
            "hangs: no answer within 5 s while decoding frame 0 (ICDecompress); the try was "
            "stopped");
  EXPECT_EQ(HungFinding(1500, "").outcome, TryOutcome::kHung);
  EXPECT_EQ(HungFinding(1500, "").text, "hangs: no answer within 1.5 s; the try was stopped");
}

TEST(TryCodeNamesTest, KnownCodesByNameOthersByNumber) {
  struct Case {
    std::string got, expected;
  };
  const Case cases[] = {
      {IcErrorName(0), "ICERR_OK"},
      {IcErrorName(-2), "ICERR_BADFORMAT"},
      {IcErrorName(-100), "ICERR_ERROR"},
      {IcErrorName(-201), "ICERR_BADIMAGESIZE"},
      {IcErrorName(1), "ICERR_DONTDRAW"},
      {IcErrorName(-11), "error -11"},
      {MmResultName(0), "MMSYSERR_NOERROR"},
      {MmResultName(8), "MMSYSERR_NOTSUPPORTED"},
      {MmResultName(11), "MMSYSERR_INVALPARAM"},
      {MmResultName(512), "ACMERR_NOTPOSSIBLE"},
      {MmResultName(515), "ACMERR_CANCELED"},
      {MmResultName(516), "error 516"},
      {AviErrorName(static_cast<long>(0x80044000u + 102)), "AVIERR_BADFORMAT"},
      {AviErrorName(static_cast<long>(0x80044000u + 113)), "AVIERR_NOCOMPRESSOR"},
      {AviErrorName(static_cast<long>(0x80044000u + 199)), "AVIERR_ERROR"},
      {AviErrorName(static_cast<long>(0x80044000u + 150)), "error 0x80044096"},
      {AviErrorName(static_cast<long>(0x80040154u)), "REGDB_E_CLASSNOTREG"},
      {AviErrorName(0x1234), "error 0x00001234"},
      {ExceptionName(0xC0000094u), "integer division by zero"},
      {ExceptionName(0xE06D7363u), "C++ exception"},
      {ExceptionName(0xC0000001u), ""},
      {CrashText(0xC0000005u, "a.dll"),
       "crashed: exception 0xC0000005 (access violation) in a.dll"},
      {DurationText(5000), "5 s"},
      {DurationText(250), "250 ms"},
      {DurationText(1500), "1.5 s"},
      {DurationText(2005), "2.005 s"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(TryCommandLineTest, ArgumentsComeBackAsTheChildsRuntimeSplitsThem) {
  struct Case {
    std::string argument, quoted;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"C:\\dir\\a.avi", "C:\\dir\\a.avi"},
      {"", "\"\""},
      {"Z:\\my files\\a.avi", "\"Z:\\my files\\a.avi\""},
      {"Z:\\dir with space\\", "\"Z:\\dir with space\\\\\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b c", "\"a\\\\\\\"b c\""},
      {"tab\there", "\"tab\there\""},
  };
  for (const Case& c : cases) EXPECT_EQ(WindowsCommandLineArgument(c.argument), c.quoted);
}

#ifndef _WIN32
TEST(WineTryTest, FilesAreOnTheDriveThatHoldsThemMostClosely) {
  test::ScratchDir scratch;
  const std::string prefix = scratch.path() + "/prefix";
  scratch.Write("prefix/drive_c/videos/a.avi", "RIFF");
  scratch.Write("elsewhere/b c.avi", "RIFF");
  const std::map<char, std::string> drives = {
      {'C', prefix + "/dosdevices/../drive_c"}, {'Z', "/"}, {'D', scratch.path() + "/elsewhere/"}};
  ::mkdir((prefix + "/dosdevices").c_str(), 0755);
  struct Case {
    std::string host;
    std::optional<std::string> windows;
  };
  const Case cases[] = {
      {prefix + "/drive_c/videos/a.avi", std::string("C:\\videos\\a.avi")},
      {scratch.path() + "/elsewhere/b c.avi", std::string("D:\\b c.avi")},
      {scratch.path() + "/elsewhere/../prefix/drive_c/videos/a.avi",
       std::string("C:\\videos\\a.avi")},
      {"/etc/hostname", std::string("Z:\\etc\\hostname")},
  };
  for (const Case& c : cases) EXPECT_EQ(WindowsPathOnDrives(drives, c.host), c.windows) << c.host;
  EXPECT_EQ(WindowsPathOnDrives({{'C', prefix + "/drive_c"}}, "/etc/hostname"), std::nullopt);
  EXPECT_EQ(WindowsPathOnDrives({{'C', prefix + "/drive_c"}}, prefix + "/drive_cx/a.avi"),
            std::nullopt);
}

TEST(WineTryTest, WineAndWindowsCliAreFoundForTheViewOrTheMissingOneIsNamed) {
  test::ScratchDir scratch;
  const std::string bin = scratch.path() + "/bin";
  const std::string wine64 = scratch.Write("bin/wine64", "#!/bin/sh\n");
  const std::string wine32 = scratch.Write("named/wine", "#!/bin/sh\n");
  ::chmod(wine64.c_str(), 0755);
  ::chmod(wine32.c_str(), 0755);
  const std::string notProgram = scratch.Write("bin/plain", "x");
  const std::string builtWine32 = scratch.Write("build/wine32/bin/wine", "#!/bin/sh\n");
  ::chmod(builtWine32.c_str(), 0755);
  const std::string installed = scratch.path() + "/install";
  scratch.Write("install/korvane-cli-x86_64.exe", "MZ");
  scratch.Write("build/win32/korvane-cli.exe", "MZ");
  ::mkdir((scratch.path() + "/build/native").c_str(), 0755);

  struct Case {
    const char* name;
    WineTryEnvironment env;
    bool view64;
    std::string wine, cli;  // expected, or empty when an error is
    std::string errorPart;
  };
  auto env = [&](const char* w64, const char* w32, const char* path, const std::string& dir) {
    WineTryEnvironment e;
    e.wine64 = w64;
    e.wine32 = w32;
    e.path = path;
    e.programDir = dir;
    return e;
  };
  const std::string path = bin + ":/nonexistent";
  const Case cases[] = {
      {"64 from PATH, CLI beside", env(nullptr, nullptr, path.c_str(), installed), true, wine64,
       installed + "/korvane-cli-x86_64.exe", ""},
      {"64 named", env(wine64.c_str(), nullptr, "", installed), true, wine64,
       installed + "/korvane-cli-x86_64.exe", ""},
      {"64 named but not a program", env(notProgram.c_str(), nullptr, path.c_str(), installed),
       true, "", "", "$KORVANE_WINE64 is"},
      {"32 named, CLI of a build tree",
       env(nullptr, wine32.c_str(), "", scratch.path() + "/build/native"), false, wine32,
       scratch.path() + "/build/win32/korvane-cli.exe", ""},
      {"32 from the build tree", env(nullptr, nullptr, "", scratch.path() + "/build/native"), false,
       builtWine32, scratch.path() + "/build/win32/korvane-cli.exe", ""},
      {"32 without a 32-bit Wine", env(wine64.c_str(), nullptr, path.c_str(), installed), false, "",
       "", "--view 64"},
      {"32 with Wine but no i686 CLI", env(nullptr, wine32.c_str(), "", installed), false, "", "",
       "KORVANE_CLI_WIN32"},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto tool = FindWineTool(c.env, c.view64, &error);
    if (c.wine.empty()) {
      EXPECT_FALSE(tool.has_value()) << c.name;
      EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.name << ": " << error;
    } else {
      ASSERT_TRUE(tool.has_value()) << c.name << ": " << error;
      EXPECT_EQ(tool->wine, c.wine) << c.name;
      EXPECT_EQ(tool->cliExe, c.cli) << c.name;
    }
  }
}

TEST(WineTryTest, The32BitViewNeedsThe32BitSideOfA64BitPrefix) {
  test::ScratchDir scratch;
  scratch.Write("win32/drive_c/windows/system32/kernel32.dll", "MZ");
  scratch.Write("whole/drive_c/windows/syswow64/kernel32.dll", "MZ");
  scratch.Write("half/drive_c/windows/syswow64/msvfw32.dll", "MZ");
  EXPECT_EQ(WhyNo32BitSide(scratch.path() + "/win32"), "");
  EXPECT_EQ(WhyNo32BitSide(scratch.path() + "/whole"), "");
  EXPECT_NE(WhyNo32BitSide(scratch.path() + "/half").find("without its 32-bit side"),
            std::string::npos);
}

TEST(WineTryTest, RunsCatchOutputAndEnvironmentAndStopAProgramThatRunsTooLong) {
  std::string out, error;
  int status = -1;
  ASSERT_TRUE(RunCaught({"/bin/sh", "-c", "echo \"$KORVANE_X\"; read line; echo \"[$line]\""},
                        {"KORVANE_X=given"}, 10000, &out, &status, &error))
      << error;
  EXPECT_EQ(out, "given\n[]\n");  // standard input is empty
  EXPECT_EQ(status, 0);
  out.clear();
  EXPECT_TRUE(
      RunCaught({"/bin/sh", "-c", "echo partial; exit 3"}, {}, 10000, &out, &status, &error));
  EXPECT_EQ(out, "partial\n");
  EXPECT_EQ(status, 3);
  EXPECT_TRUE(RunCaught({"/bin/sh", "-c", "kill -TERM $$"}, {}, 10000, &out, &status, &error));
  EXPECT_EQ(status, 128 + 15);

  out.clear();
  const auto start = std::chrono::steady_clock::now();
  // The grandchild keeps the pipe open; stopping the group ends it too.
  EXPECT_FALSE(RunCaught({"/bin/sh", "-c", "echo started; sleep 30 & sleep 30"}, {}, 500, &out,
                         &status, &error));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(out, "started\n");
  EXPECT_NE(error.find("did not finish"), std::string::npos) << error;

  // A program that ends while something it started still holds the pipe is done.
  out.clear();
  EXPECT_TRUE(
      RunCaught({"/bin/sh", "-c", "echo done; (sleep 3 &)"}, {}, 10000, &out, &status, &error));
  EXPECT_EQ(out, "done\n");

  EXPECT_FALSE(RunCaught({"/nonexistent/wine64"}, {}, 1000, &out, &status, &error));
  EXPECT_NE(error.find("can't start /nonexistent/wine64"), std::string::npos) << error;
}
#endif

class TryVerdictTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.SetSystemIni("[drivers32]\r\nvidc.cvid=iccvid.dll\r\nmsacm.l3acm=l3codeca.acm\r\n");
    machine.AddSystemLibrary("iccvid.dll");
    machine.AddSystemLibrary("l3codeca.acm");
  }
  FileCheck Check(const std::vector<TryFinding>& tries) {
    FileCheck file = CheckAviFile(
        machine, ReadCheckedMachine(machine, "m").drivers,
        scratch.Write("a.avi", test::Avi({test::VideoStream("cvid"), test::AudioStream(0x0055),
                                          test::VideoStream("MJPG")})));
    file.tries = tries;
    ApplyTries(&file);
    return file;
  }
  static TryFinding T(TryOutcome outcome, const std::string& text, uint32_t code = 0,
                      const std::string& module = "") {
    return TryFinding{outcome, text, code, module};
  }
  test::FakeSystem machine;
  test::ScratchDir scratch;
};

TEST_F(TryVerdictTest, TheTryDecidesWhereItTellsMoreThanTheFiles) {
  const TryFinding decodes = T(TryOutcome::kDecodes, "decodes: 1 frame, 8x8, 24-bit");
  const TryFinding noMjpg =
      T(TryOutcome::kDoesNotDecode, "does not decode: no decompressor for 'MJPG'");
  const std::string mjpgAdvice =
      "install a Video for Windows decoder for Motion JPEG (MJPG): vidc.MJPG";
  struct Case {
    const char* name;
    std::vector<TryFinding> tries;
    bool playable;
    std::string verdict;
  };
  const Case cases[] = {
      {"all decode, even the unregistered one", {decodes, decodes, decodes}, true, "playable here"},
      {"the missing decoder keeps its advice", {decodes, decodes, noMjpg}, false, mjpgAdvice},
      {"registered and loads, but does not decode",
       {T(TryOutcome::kDoesNotDecode, "does not decode: ICDecompress on frame 0: ICERR_BADFORMAT"),
        decodes, decodes},
       false,
       "repair the decoder for Cinepak (cvid), C:\\WINDOWS\\SYSTEM\\iccvid.dll: it loads but does "
       "not decode: ICDecompress on frame 0: ICERR_BADFORMAT"},
      {"a crash in the decoder",
       {decodes,
        T(TryOutcome::kCrashed, "crashed: exception 0xC0000005 (access violation) in l3codeca.acm",
          0xC0000005u, "l3codeca.acm"),
        decodes},
       false,
       "repair or replace the decoder for MP3 (0x0055), C:\\WINDOWS\\SYSTEM\\l3codeca.acm: its "
       "try crashed (exception 0xC0000005 (access violation) in l3codeca.acm)"},
      {"a hang, beside the missing decoder",
       {T(TryOutcome::kHung, "hangs: no answer within 5 s; the try was stopped"), decodes, noMjpg},
       false,
       "repair or replace the decoder for Cinepak (cvid), C:\\WINDOWS\\SYSTEM\\iccvid.dll: its "
       "try hung (no answer within 5 s; the try was stopped); " +
           mjpgAdvice},
      {"not tried keeps what the files say",
       {T(TryOutcome::kNotTried, "not tried: x"), T(TryOutcome::kNotTried, "not tried: x"),
        T(TryOutcome::kNotTried, "not tried: x")},
       false,
       mjpgAdvice},
  };
  for (const Case& c : cases) {
    const FileCheck file = Check(c.tries);
    EXPECT_EQ(file.playable, c.playable) << c.name;
    EXPECT_EQ(file.verdict, c.verdict) << c.name;
  }
}

TEST_F(TryVerdictTest, EachStreamHasATryLineAndATryObject) {
  const FileCheck file =
      Check({T(TryOutcome::kDecodes, "decodes: 10 frames, 64x48, 24-bit"),
             T(TryOutcome::kCrashed, "crashed: exception 0xC0000005 (access violation) in x.acm",
               0xC0000005u, "x.acm"),
             T(TryOutcome::kHung, "hangs: no answer within 5 s; the try was stopped")});
  const CheckedMachine facts = ReadCheckedMachine(machine, "m");
  const std::vector<std::string> lines = test::SplitLines(CheckLines(facts, {file}));
  std::vector<std::string> tryLines;
  for (const std::string& line : lines) {
    if (line.rfind("    try: ", 0) == 0) tryLines.push_back(line);
  }
  EXPECT_EQ(tryLines, (std::vector<std::string>{
                          "    try: decodes: 10 frames, 64x48, 24-bit",
                          "    try: crashed: exception 0xC0000005 (access violation) in x.acm",
                          "    try: hangs: no answer within 5 s; the try was stopped"}));
  // Each try line follows its own stream's lines.
  EXPECT_EQ(lines[5], "    try: decodes: 10 frames, 64x48, 24-bit");

  const std::string json = CheckJson(facts, {file});
  EXPECT_NE(json.find("\"try\": {\n            \"outcome\": \"decodes\",\n            "
                      "\"decodes\": true,\n            \"text\": \"decodes: 10 frames, 64x48, "
                      "24-bit\"\n          }"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"outcome\": \"crashed\""), std::string::npos);
  EXPECT_NE(json.find("\"exceptionCode\": \"0xC0000005\",\n            \"module\": \"x.acm\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"outcome\": \"hung\",\n            \"decodes\": false"), std::string::npos);
  // Without --try there is no try line and no try object.
  FileCheck plain = file;
  plain.tries.clear();
  EXPECT_EQ(CheckLines(facts, {plain}).find("try:"), std::string::npos);
  EXPECT_EQ(CheckJson(facts, {plain}).find("\"try\""), std::string::npos);
}

TEST_F(TryVerdictTest, OnlyStreamsThatNeedADecoderAreTried) {
  FileCheck file = CheckAviFile(
      machine, ReadCheckedMachine(machine, "m").drivers,
      scratch.Write("b.avi", test::Avi({test::VideoStream("cvid"), test::AudioStream(0x0001),
                                        test::VideoStream("MJPG"), test::AudioStream(0x0055)})));
  EXPECT_EQ(StreamsToTry(file), (std::vector<size_t>{0, 2, 3}));
  EXPECT_EQ(UntriedFinding(file, 1).text, "not tried: needs no decoder");
  EXPECT_EQ(UntriedFinding(file, 1).outcome, TryOutcome::kNotTried);
  FileCheck unreadable;
  unreadable.error = "No such file or directory";
  EXPECT_TRUE(StreamsToTry(unreadable).empty());
}

}  // namespace
}  // namespace korvane

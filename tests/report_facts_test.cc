// A saved report read back as a machine: the decoder check from the report agrees with the
// check on the machine that made it wherever the report holds the facts, and says what it
// does not hold everywhere else. The reports are made by the real run over small machines,
// with every test switched off in turn and cut short after every line.
#include "diag/report_facts.h"

#include <gtest/gtest.h>

#include "diag/diagnostics.h"
#include "tests/fake_system.h"
#include "tests/riff_builder.h"

namespace korvane {
namespace {

using test::FakeSystem;
using test::WalkedAudio;
using test::WalkedVideo;

// Streams whose decoders the machines below have in every state: loading, failing,
// missing, registered twice, not registered at all.
std::vector<AviStream> Streams() {
  return {WalkedVideo("cvid"), WalkedVideo("IV50"), WalkedVideo("MSVC"), WalkedVideo("divx"),
          WalkedVideo("XVID"), WalkedVideo("mrle"), WalkedVideo("x264"), WalkedAudio(0x0011),
          WalkedAudio(0x0002), WalkedAudio(0x0055)};
}

// Windows 98: the drivers in system.ini only, a path with spaces, a broken library.
void Make9x(FakeSystem* machine) {
  machine->SetSystemIni(
      "[drivers]\r\nwave=mmsound.drv\r\n[drivers32]\r\nmsacm.imaadpcm=imaadp32.acm\r\n"
      "msacm.msadpcm = msadp32.acm\r\nwavemapper=*.drv\r\nvidc.cvid=iccvid.dll\r\n"
      "vidc.iv50=C:\\Program Files\\Codec 0x20 Pack\\ir50_32.dll\r\nvidc.msvc=msvidc32.dll\r\n"
      "vidc.divx=divxc32.dll\r\nnovalue=\r\n[mci]\r\navivideo=mciavi.drv\r\n");
  machine->AddSystemLibrary("imaadp32.acm");
  machine->AddSystemLibrary("iccvid.dll");
  machine->AddLibrary("C:\\Program Files\\Codec 0x20 Pack\\ir50_32.dll");
  machine->AddBrokenLibrary("divxc32.dll", "imports MSVCP60.DLL, which is not on this machine");
  machine->AddSystemLibrary("advapi32.dll");
}

// Windows 2000: the registry first, then system.ini; one codec in both, the registry's
// copy broken.
void MakeNt(FakeSystem* machine) {
  machine->version = {5, 0, 2195, kPlatformWinNt, "Service Pack 4"};
  machine->systemDirectory = "C:\\WINNT\\system32";
  machine->windowsDirectory = "C:\\WINNT";
  machine->AddRegistryDriver("vidc.cvid", "iccvid.dll");
  machine->AddRegistryDriver("msacm.l3acm", "C:\\WINNT\\System32\\l3codecp.acm");
  machine->AddRegistryDriver("vidc.mrle", "msrle32.dll");
  machine->AddRegistryDriver("vidc.xvid", "xvidvfw.dll");
  machine->SetSystemIni("[drivers32]\r\nvidc.xvid=xvid2.dll\r\nvidc.x264=x264vfw.dll\r\n");
  machine->AddSystemLibrary("iccvid.dll");
  machine->AddLibrary("C:\\WINNT\\System32\\l3codecp.acm");
  machine->AddBrokenLibrary("xvidvfw.dll", "built for x86-64, this machine runs i386 code");
  machine->AddSystemLibrary("xvid2.dll");
  machine->AddSystemLibrary("advapi32.dll");
}

std::vector<std::string> RunReport(FakeSystem& machine, const TestOptions& options) {
  ReportLines window;
  SetMainWindow(&window);
  RunDiagnostics(machine, window, options);
  SetMainWindow(nullptr);
  return window.lines;
}

std::string Joined(const std::vector<std::string>& lines, size_t count, const char* end) {
  std::string text;
  for (size_t i = 0; i < count && i < lines.size(); ++i) text += lines[i] + end;
  return text;
}

// Where the report says a fact, it is the machine's; where it does not, it says why.
void ExpectAgrees(const DecoderCheck& live, const DecoderCheck& saved, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(saved.needsDecoder, live.needsDecoder);
  // An entry the report lists serves on the machine too; with every place listed, an
  // entry serves only where the report lists one.
  if (saved.registered || saved.registeredKnown) {
    EXPECT_EQ(saved.registered, live.registered);
  }
  if (!saved.known()) {
    EXPECT_FALSE(saved.ready());
    EXPECT_FALSE(saved.unknown.why.empty());
    EXPECT_FALSE(saved.unknown.ask.empty());
    return;
  }
  EXPECT_EQ(saved.loads, live.loads);
  EXPECT_EQ(saved.ready(), live.ready());
  if (saved.loads) return;  // which of two loading entries is named may differ
  EXPECT_EQ(saved.registration.where, live.registration.where);
  EXPECT_EQ(saved.registration.name, live.registration.name);
  EXPECT_EQ(saved.registration.value, live.registration.value);
  EXPECT_EQ(saved.libraryPath, live.libraryPath);
  EXPECT_EQ(saved.libraryFound, live.libraryFound);
}

void CheckReport(FakeSystem& machine, const std::string& text, bool whole,
                 const std::string& what) {
  SavedReport report;
  const auto error = ParseSavedReport(text, &report);
  ASSERT_FALSE(error) << what << ": " << error->message;
  const ReportFacts facts = ReadReportFacts(report);
  const InstalledDrivers drivers = ReadInstalledDrivers(machine);
  ASSERT_TRUE(facts.versionKnown) << what;
  EXPECT_EQ(facts.version.platformId, machine.version.platformId) << what;
  for (const AviStream& stream : Streams()) {
    const DecoderCheck live = CheckStreamDecoder(machine, drivers, stream);
    const DecoderCheck saved = CheckStreamDecoder(facts.libraries, facts.drivers, stream);
    ExpectAgrees(live, saved, what + ", " + saved.code);
    if (whole) {
      // Every test on and the report whole: it holds every fact.
      EXPECT_TRUE(saved.known()) << what << ", " << saved.code << ": " << saved.unknown.why;
      EXPECT_EQ(saved.registration.name, live.registration.name) << what << ", " << saved.code;
      EXPECT_EQ(saved.libraryPath, live.libraryPath) << what << ", " << saved.code;
    }
  }
}

TEST(ReportFacts, AgreeWithTheMachineForEverySwitchAndEveryCut) {
  for (void (*make)(FakeSystem*) : {Make9x, MakeNt}) {
    FakeSystem machine;
    make(&machine);
    TestOptions all = StartupTestOptions(machine);
    const std::string kind = machine.version.platformId == kPlatformWinNt ? "NT" : "9x";
    const std::vector<std::string> lines = RunReport(machine, all);
    CheckReport(machine, Joined(lines, lines.size(), "\r\n"), true, kind + " whole, CR LF");
    CheckReport(machine, Joined(lines, lines.size(), "\n"), true, kind + " whole, LF");
    std::string unended = Joined(lines, lines.size(), "\r\n");
    unended.resize(unended.size() - 2);
    CheckReport(machine, unended, true, kind + " whole, no final line end");

    for (const TestSwitch& test : kTestSwitches) {
      TestOptions options = all;
      options.*test.field = 0;
      const std::vector<std::string> without = RunReport(machine, options);
      CheckReport(machine, Joined(without, without.size(), "\r\n"), false,
                  kind + " without " + test.name);
    }
    // Cut after each line from the first section on: a report of the version line
    // alone is refused (see below).
    for (size_t cut = 2; cut < lines.size(); ++cut) {
      CheckReport(machine, Joined(lines, cut, "\r\n"), false,
                  kind + " cut after line " + std::to_string(cut));
    }
  }
}

TEST(ReportFacts, SayWhatTheyLackAndWhatToAskFor) {
  FakeSystem machine;
  MakeNt(&machine);
  TestOptions all = StartupTestOptions(machine);
  struct Case {
    const char* off;  // the switch turned off, or "" to cut the report
    size_t cutAt;     // lines kept when cutting
    const char* stream;
    std::string why;
    std::string ask;
  };
  const std::vector<std::string> lines = RunReport(machine, all);
  size_t loadingLine = 0;
  while (lines[loadingLine] != "======== Loading DLL ========") ++loadingLine;
  const Case cases[] = {
      {"loadDll", 0, "cvid", "it was made without the library load test",
       "a report made with \"load .DLL test\" ticked"},
      {"ntTests", 0, "cvid", "it was made without the NT specific tests",
       "a report made with \"NT specific tests\" and \"load .DLL test\" ticked"},
      {"systemIni", 0, "x264", "it was made without the system.ini test",
       "a report made with \"system.ini\" ticked"},
      {"", loadingLine + 1, "x264", "it is cut short", "the whole report"},
  };
  for (const Case& c : cases) {
    TestOptions options = all;
    for (const TestSwitch& test : kTestSwitches) {
      if (test.name == std::string(c.off)) options.*test.field = 0;
    }
    const std::vector<std::string> report = RunReport(machine, options);
    SavedReport saved;
    ASSERT_FALSE(
        ParseSavedReport(Joined(report, c.cutAt ? c.cutAt : report.size(), "\r\n"), &saved));
    const ReportFacts facts = ReadReportFacts(saved);
    const DecoderCheck unknown =
        CheckStreamDecoder(facts.libraries, facts.drivers, WalkedVideo(c.stream));
    SCOPED_TRACE(std::string(c.off) + " " + c.stream);
    EXPECT_FALSE(unknown.known());
    EXPECT_EQ(unknown.unknown.why, c.why);
    EXPECT_EQ(unknown.unknown.ask, c.ask);
  }
}

TEST(SavedReport, LibraryLinesAndWhatIsNotOne) {
  struct Case {
    const char* line;
    bool library;
    const char* path;
    bool found;
    bool loads;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\SYSTEM\\iccvid.dll 0x20 1999-04-03 512 Loaded Ok", true,
       "C:\\WINDOWS\\SYSTEM\\iccvid.dll", true, true},
      {"C:\\WINDOWS\\SYSTEM\\divx.dll 0x21 2026-12-07 -5 Failed to load", true,
       "C:\\WINDOWS\\SYSTEM\\divx.dll", true, false},
      {"C:\\Codec 0x20 1999-04-03 Pack\\x.dll 0x20 1999-04-03 512 Loaded Ok", true,
       "C:\\Codec 0x20 1999-04-03 Pack\\x.dll", true, true},
      {"C:\\WINDOWS\\SYSTEM\\ir41_32.dll Not found", true, "C:\\WINDOWS\\SYSTEM\\ir41_32.dll",
       false, false},
      {"C:\\WINDOWS\\SYSTEM\\msvc*.* Not found", true, "C:\\WINDOWS\\SYSTEM\\msvc*.*", false,
       false},
      {"msvcrt.dll 0x20 2026-12-07 1536", false, "", false, false},
      {" Not found", false, "", false, false},
      {"x.dll 0x2g 1999-04-03 512 Loaded Ok", false, "", false, false},
      {"x.dll 0x20 1999-4-03 512 Loaded Ok", false, "", false, false},
      {"x.dll 0x20 1999-04-03 5a2 Loaded Ok", false, "", false, false},
      {"0x20 1999-04-03 512 Loaded Ok", false, "", false, false},
      {"vidc.cvid = iccvid.dll", false, "", false, false},
  };
  for (const Case& c : cases) {
    const auto library = ParseLibraryLine(c.line);
    ASSERT_EQ(library.has_value(), c.library) << c.line;
    if (!library) continue;
    EXPECT_EQ(library->path, c.path) << c.line;
    EXPECT_EQ(library->found, c.found) << c.line;
    EXPECT_EQ(library->loads, c.loads) << c.line;
  }
}

TEST(SavedReport, TextsThatAreNoReportAreRefused) {
  const char* const texts[] = {
      "",
      "hello\r\n",
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n",
      // The version line alone: nothing past it to answer from.
      "GetVersionEx() reports: ver. 4.10, build 0x40A08AE (2222), platform 1 (Win9x), \" A \"\r\n",
      "GetVersionEx() reports: ver. 4.10, build 0x40A08AE (2222), platform 1 (Win9x), \" A \r\n"
      "Video for Windows version: 0x400\r\n",
  };
  for (const char* text : texts) {
    SavedReport report;
    EXPECT_TRUE(ParseSavedReport(text, &report)) << text;
  }
  EXPECT_FALSE(LooksLikeSavedReport("hello"));
  EXPECT_FALSE(LooksLikeSavedReport("GetVersionEx() reports: ver. 4.10"));
  EXPECT_TRUE(LooksLikeSavedReport("GetVersionEx() failed\nVideo for Windows version: 0x0"));
  EXPECT_TRUE(LooksLikeSavedReport(
      "GetVersionEx() reports: ver. 6.1, build 0x1DB1 (7601), platform 2 (WinNT), \"\"\r\n"));
  SavedReport report;
  EXPECT_FALSE(
      ParseSavedReport("GetVersionEx() failed\nVideo for Windows version: 0x10A", &report));
  EXPECT_FALSE(report.versionKnown);
  EXPECT_EQ(report.vfwVersion, 0x10Au);
}

}  // namespace
}  // namespace korvane

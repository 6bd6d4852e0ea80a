// The Go! run: version lines, section order, the switches and what they enable.
#include "tests/diag_fixture.h"

namespace korvane::test {
namespace {

TestOptions AllOff() {
  TestOptions options;
  options.systemIni = options.loadDll = options.captureDrivers = 0;
  options.registryAviFile = options.registryUninstall = options.ntTests = 0;
  options.msvcList = options.wellKnownDlls = 0;
  return options;
}

Lines Headings(const Lines& lines) {
  Lines headings;
  for (const std::string& line : lines) {
    if (line.rfind("========", 0) == 0) headings.push_back(line);
  }
  return headings;
}

using RunTest = DiagTest;

TEST_F(RunTest, AllSwitchesOffGivesTheTwoVersionLinesOnly) {
  RunDiagnostics(system, window, AllOff());
  EXPECT_EQ(lines(), (Lines{"GetVersionEx() reports: ver. 4.10, build 0x40A08AE (2222), "
                            "platform 1 (Win9x), \" A \"",
                            "Video for Windows version: 0x0"}));
  system.versionFails = true;
  TestOptions options = AllOff();
  options.vfwVersion = 266;
  RunDiagnostics(system, window, options);
  EXPECT_EQ(lines(), (Lines{"GetVersionEx() failed", "Video for Windows version: 0x10A"}));
}

TEST_F(RunTest, VersionLineShowsWholeBuildInHexAndLowWordInDecimal) {
  struct Case {
    OsVersion version;
    std::string line;
  } cases[] = {
      {{5, 0, 2195, 2, "Service Pack 4"},
       "GetVersionEx() reports: ver. 5.0, build 0x893 (2195), platform 2 (WinNT), "
       "\"Service Pack 4\""},
      {{3, 95, 0x00010000, 0, ""},
       "GetVersionEx() reports: ver. 3.95, build 0x10000 (0), platform 0 (Win32s), \"\""},
      {{6, 1, 7601, 3, "%s"},
       "GetVersionEx() reports: ver. 6.1, build 0x1DB1 (7601), platform 3 (?), \"%s\""},
  };
  for (const Case& c : cases) {
    system.version = c.version;
    RunDiagnostics(system, window, AllOff());
    EXPECT_EQ(lines().front(), c.line);
  }
  EXPECT_STREQ(PlatformName(0xFFFFFFFFu), "?");
}

TEST_F(RunTest, EnabledSectionsFollowInTheirFixedOrder) {
  TestOptions options;  // everything on
  options.ntTests = 1;
  RunDiagnostics(system, window, options);
  EXPECT_EQ(Headings(lines()),
            (Lines{"======== system.ini ========", "======== %WINDIR%\\System\\msvc*.* ========",
                   "======== SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc "
                   "entries ===",
                   "======== Loading SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32 "
                   "entries ===",
                   "======== Loading DLL ========", "======== Well known DLLs ========",
                   "======== capture drivers ====", "======== registry entries ===",
                   "======== uninstall section =="}));
  // The version of Video for Windows sits between the system.ini and msvc*.* sections.
  const auto vfw = std::find(lines().begin(), lines().end(), "Video for Windows version: 0x0");
  ASSERT_NE(vfw, lines().end());
  EXPECT_EQ(*(vfw + 1), "======== %WINDIR%\\System\\msvc*.* ========");
  EXPECT_EQ(*(vfw - 1), "can't open C:\\WINDOWS\\system.ini");
}

TEST_F(RunTest, RegistryDriverSectionsNeedNtTestsAndLoadingNeedsLoadDll) {
  TestOptions options = AllOff();
  options.ntTests = 1;
  RunDiagnostics(system, window, options);
  EXPECT_EQ(Headings(lines()), (Lines{"======== SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                      "\\drivers.desc entries ==="}));
  options = AllOff();
  options.loadDll = 1;
  RunDiagnostics(system, window, options);
  EXPECT_EQ(Headings(lines()), (Lines{"======== Loading DLL ========"}));
}

TEST_F(RunTest, SystemIniSectionsAreListedBeforeTheVfwLineAndASecondRunReplacesTheFirst) {
  system.AddFile("C:\\WINDOWS\\SYSTEM.INI",
                 "[drivers32]\r\nmsacm.imaadpcm=imaadp32.acm\r\n[drivers]\r\nwave=a.drv\r\n");
  TestOptions options = AllOff();
  options.systemIni = 1;
  RunDiagnostics(system, window, options);
  RunDiagnostics(system, window, options);
  EXPECT_EQ(lines().size(), 7u);
  EXPECT_EQ(Lines(lines().begin() + 1, lines().end()),
            (Lines{"======== system.ini ========", "[drivers]", "wave=a.drv", "[drivers32]",
                   "msacm.imaadpcm=imaadp32.acm", "Video for Windows version: 0x0"}));
}

TEST_F(RunTest, MissingSystemIniGivesOneLinePerSection) {
  TestOptions options = AllOff();
  options.systemIni = 1;
  RunDiagnostics(system, window, options);
  EXPECT_EQ(std::count(lines().begin(), lines().end(), "can't open C:\\WINDOWS\\system.ini"), 3);
}

TEST_F(RunTest, StartupOptionsFollowThePlatformAndTheVfwHighWord) {
  system.version.platformId = kPlatformWinNt;
  TestOptions options = StartupTestOptions(system);
  EXPECT_EQ(options.ntTests, 1u);
  EXPECT_EQ(options.vfwVersion, 0x0400u);
  EXPECT_EQ(options.systemIni + options.loadDll + options.captureDrivers + options.registryAviFile +
                options.registryUninstall + options.msvcList + options.wellKnownDlls,
            7u);
  system.version.platformId = kPlatformWin9x;
  EXPECT_EQ(StartupTestOptions(system).ntTests, 0u);
  system.version.platformId = kPlatformWinNt;
  system.versionFails = true;
  EXPECT_EQ(StartupTestOptions(system).ntTests, 0u);
}

}  // namespace
}  // namespace korvane::test

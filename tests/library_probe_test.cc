// The library probe line, the msvc*.* listing and the well-known library lists.
#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "tests/diag_fixture.h"

namespace korvane::test {
namespace {

using ProbeTest = DiagTest;

std::vector<std::string> ListOf(const char* const* names) {
  std::vector<std::string> list;
  for (; **names != '\0'; ++names) list.push_back(*names);
  return list;
}

TEST_F(ProbeTest, ProbeLineShowsTheCallersPathAndTheUtcDate) {
  // A zone ahead of UTC must not move the date: 23:30 UTC is already the next day there.
  setenv("TZ", "JST-9", 1);
  tzset();
  FakeSystem::Entry& lib = system.AddLibrary("C:\\WINDOWS\\SYSTEM\\MSVFW32.DLL");
  lib.attributes = 0x21;
  lib.lastWriteTime = FileTimeUtc(1999, 4, 3, 23, 30);
  system.AddFile("C:\\WINDOWS\\SYSTEM\\broken.dll", "MZ").lastWriteTime = FileTimeUtc(2001, 12, 9);
  ProbeLibrary(system, "c:\\windows\\system\\msvfw32.dll");
  ProbeLibrary(system, "C:\\WINDOWS\\SYSTEM\\broken.dll");
  ProbeLibrary(system, "C:\\WINDOWS\\SYSTEM\\absent.dll");
  unsetenv("TZ");
  tzset();
  EXPECT_EQ(lines(), (Lines{"c:\\windows\\system\\msvfw32.dll 0x21 1999-04-03 512 Loaded Ok",
                            "C:\\WINDOWS\\SYSTEM\\broken.dll 0x20 2001-12-09 2 Failed to load",
                            "C:\\WINDOWS\\SYSTEM\\absent.dll Not found"}));
  EXPECT_EQ(system.loadAttempts,
            (Lines{"c:\\windows\\system\\msvfw32.dll", "C:\\WINDOWS\\SYSTEM\\broken.dll"}));
}

TEST_F(ProbeTest, MsvcListingShowsFilesInSearchOrderAndSkipsFolders) {
  system.AddFile("C:\\WINDOWS\\SYSTEM\\MSVCRT.DLL", std::string(300, 'x'));
  system.AddFolder("C:\\WINDOWS\\SYSTEM\\msvcdir");
  system.AddFile("C:\\WINDOWS\\SYSTEM\\mfc42.dll");
  system.AddFile("C:\\WINDOWS\\SYSTEM\\msvcp60").attributes = 0x21;
  ListMsvcFiles(system);
  EXPECT_EQ(lines(), (Lines{"MSVCRT.DLL 0x20 1999-04-23 300", "msvcp60 0x21 1999-04-23 0"}));
  EXPECT_TRUE(system.loadAttempts.empty());

  window.lines.clear();
  system.systemDirectory = "C:\\";
  ListMsvcFiles(system);
  system.AddFolder("C:\\msvconly");
  ListMsvcFiles(system);  // folders alone give no line at all
  EXPECT_EQ(lines(), Lines{"C:\\msvc*.* Not found"});
}

TEST_F(ProbeTest, MsvcPatternThatWouldNotFitIsRefused) {
  system.systemDirectory = "C:\\" + std::string(244, 's');  // 247 + "\msvc*.*" = 255
  ListMsvcFiles(system);
  system.systemDirectory += 's';
  ListMsvcFiles(system);
  EXPECT_EQ(lines(), (Lines{system.systemDirectory.substr(0, 247) + "\\msvc*.* Not found",
                            system.systemDirectory + "\\msvc*.* - path too long"}));
}

TEST_F(ProbeTest, WellKnownListFollowsNtTests) {
  const std::vector<std::string> nt = ListOf(WellKnownLibrariesNt);
  const std::vector<std::string> win9x = ListOf(WellKnownLibraries9x);
  ASSERT_EQ(nt.size(), 44u);
  ASSERT_EQ(win9x.size(), 37u);
  EXPECT_TRUE(std::is_sorted(nt.begin(), nt.end()));
  std::vector<std::string> ntOnly;
  std::set_difference(nt.begin(), nt.end(), win9x.begin(), win9x.end(), std::back_inserter(ntOnly));
  EXPECT_EQ(ntOnly, (Lines{"clbcatq.dll", "cscdll.dll", "cscui.dll", "dnsapi.dll", "netrap.dll",
                           "ntshrui.dll", "samlib.dll"}));

  system.AddLibrary("C:\\WINDOWS\\SYSTEM\\kernel32.dll");
  TestOptions options;
  options.ntTests = 1;
  ProbeWellKnownLibraries(system, options);
  ASSERT_EQ(lines().size(), 44u);
  EXPECT_EQ(lines().front(), "C:\\WINDOWS\\SYSTEM\\advapi32.dll Not found");
  EXPECT_EQ(lines().back(), "C:\\WINDOWS\\SYSTEM\\wsock32.dll Not found");
  EXPECT_EQ(lines()[17], "C:\\WINDOWS\\SYSTEM\\kernel32.dll 0x20 1999-04-23 512 Loaded Ok");
  EXPECT_TRUE(window.repaintsAfterLine.empty());

  window.lines.clear();
  options.ntTests = 0;
  system.systemDirectory = "C:\\";  // a root keeps its single backslash
  ProbeWellKnownLibraries(system, options);
  ASSERT_EQ(lines().size(), 37u);
  EXPECT_EQ(lines()[6], "C:\\comctl32.dll Not found");
}

TEST_F(ProbeTest, SystemDirectoryLongerThan254CharactersIsRefusedForEveryName) {
  TestOptions options;
  system.systemDirectory = "C:\\" + std::string(251, 's');
  ProbeWellKnownLibraries(system, options);
  EXPECT_EQ(lines().back(), system.systemDirectory + "\\wsock32.dll Not found");
  window.lines.clear();
  system.systemDirectory += 's';
  ProbeWellKnownLibraries(system, options);
  ASSERT_EQ(lines().size(), 37u);
  EXPECT_EQ(lines().front(), system.systemDirectory + "\\advapi32.dll - path too long");
  EXPECT_EQ(system.loadAttempts.size(), 0u);
}

}  // namespace
}  // namespace korvane::test

// Finding Wine and the Windows CLI for a view of a Wine prefix.
#include "platform/wine_tool.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/test_support.h"

namespace korvane {
namespace {

TEST(WineToolTest, WineAndWindowsCliAreFoundForTheViewOrTheMissingOneIsNamed) {
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
  // An unpacked package: korvane in usr/bin, the Windows CLIs in their folder under usr/,
  // and a build tree's CLI where a program in usr/bin would also look, which loses.
  const std::string packageBin = scratch.path() + "/pkg/usr/bin";
  const std::string packaged = scratch.path() + "/pkg/usr/" KORVANE_WINDOWS_CLI_INSTALL_DIR;
  scratch.Write("pkg/usr/bin/korvane", "");
  scratch.Write("pkg/usr/" KORVANE_WINDOWS_CLI_INSTALL_DIR "/korvane-cli-x86_64.exe", "MZ");
  scratch.Write("pkg/usr/win64/korvane-cli.exe", "MZ");

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
      {"64 from an unpacked package", env(wine64.c_str(), nullptr, "", packageBin), true, wine64,
       packaged + "/korvane-cli-x86_64.exe", ""},
      {"32 missing from the package: the package's folder is named",
       env(nullptr, wine32.c_str(), "", packageBin), false, "", "",
       "looked for " + packageBin + "/korvane-cli-i686.exe, " + packaged +
           "/korvane-cli-i686.exe and "},
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

TEST(WineToolTest, The32BitViewNeedsThe32BitSideOfA64BitPrefix) {
  test::ScratchDir scratch;
  scratch.Write("win32/drive_c/windows/system32/kernel32.dll", "MZ");
  scratch.Write("whole/drive_c/windows/syswow64/kernel32.dll", "MZ");
  scratch.Write("half/drive_c/windows/syswow64/msvfw32.dll", "MZ");
  EXPECT_EQ(WhyNo32BitSide(scratch.path() + "/win32"), "");
  EXPECT_EQ(WhyNo32BitSide(scratch.path() + "/whole"), "");
  EXPECT_NE(WhyNo32BitSide(scratch.path() + "/half").find("without its 32-bit side"),
            std::string::npos);
}

}  // namespace
}  // namespace korvane

// Away from Windows, the decoders of a Wine prefix are tried by the Windows build of this
// program run under Wine: which Wine and which Windows CLI that takes for a view of the
// prefix, and whether the prefix can run it at all. POSIX only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane {

// What is looked up in the environment and beside this program.
struct WineTryEnvironment {
  const char* wine64 = nullptr;    // $KORVANE_WINE64
  const char* wine32 = nullptr;    // $KORVANE_WINE32
  const char* cliWin64 = nullptr;  // $KORVANE_CLI_WIN64
  const char* cliWin32 = nullptr;  // $KORVANE_CLI_WIN32
  const char* path = nullptr;      // $PATH
  std::string programDir;          // the folder of this program
};
WineTryEnvironment CurrentWineTryEnvironment();

struct WineTool {
  std::string wine;    // the wine program for the view
  std::string cliExe;  // korvane-cli.exe built for the view's machine type
};

// The Wine and the Windows CLI for a view: for the 64-bit view $KORVANE_WINE64, else
// wine64 on $PATH or in /usr/lib/wine, else wine on $PATH; for the 32-bit view the
// 32-bit Wine named by $KORVANE_WINE32, else ../wine32/bin/wine of a build tree. The CLI:
// $KORVANE_CLI_WIN64 (WIN32), else korvane-cli-x86_64.exe (i686) beside this program, else
// in the installed package's folder for them (KORVANE_WINDOWS_CLI_DIR from this program's
// folder: /usr/bin/../share/korvane), else ../win64/korvane-cli.exe (../win32/) of a build
// tree. nullopt with *error saying what is missing and how to give it.
std::optional<WineTool> FindWineTool(const WineTryEnvironment& environment, bool view64,
                                     std::string* error);

// Why the 32-bit view of the prefix in folder prefix has nothing to run, or empty: a
// 64-bit prefix made by a Wine without its 32-bit half has an empty syswow64.
std::string WhyNo32BitSide(const std::string& prefix);

}  // namespace korvane

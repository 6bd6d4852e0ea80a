// The Linux side of korvane check --try: which Wine and which Windows CLI run a prefix's
// tries, where the checked files are as that prefix's programs see them, and the run
// itself. Portable POSIX code; nothing here knows the Windows API.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// The Windows path of a host file on the prefix's drives (letters to host folders, as
// ReadDosDevices gives them): the drive whose folder holds it most closely, so a file in
// drive_c is on C: rather than on Z:, which is /. nullopt when no drive holds it.
std::optional<std::string> WindowsPathOnDrives(const std::map<char, std::string>& drives,
                                               const std::string& hostPath);

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
// ../win64/korvane-cli.exe
// (../win32/) of a build tree. nullopt with *error saying what is missing and how to
// give it.
std::optional<WineTool> FindWineTool(const WineTryEnvironment& environment, bool view64,
                                     std::string* error);

// Why the 32-bit view of the prefix in folder prefix has nothing to run, or empty: a
// 64-bit prefix made by a Wine without its 32-bit half has an empty syswow64.
std::string WhyNo32BitSide(const std::string& prefix);

// Runs argv with extra environment entries ("NAME=value") added, standard output caught
// and standard input empty, in a process group of its own that is killed when the run
// outlives timeoutMs. False with *error when it could not start or was killed; else
// *exitStatus is its exit status (128 + the signal when a signal ended it).
bool RunCaught(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
               int timeoutMs, std::string* output, int* exitStatus, std::string* error);

}  // namespace korvane

// Running a child process under a time limit and catching its standard output: fork and
// exec on POSIX (subprocess_posix.cc), CreateProcess on Windows (subprocess_win32.cc).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

struct ChildProcess {
  std::vector<std::string> argv;      // argv[0] is the program's path
  std::vector<std::string> extraEnv;  // "NAME=value", added to this process's environment
  int timeoutMs = 0;
  // Standard error goes where this process's goes; else to the null device. Standard
  // input is always empty.
  bool keepStandardError = true;
};

struct ChildResult {
  enum class End {
    kExited,      // it ended by itself: exitCode says how
    kTimedOut,    // it outlived timeoutMs and was stopped (with its process group on POSIX)
    kNotStarted,  // error says why
  };
  End end = End::kNotStarted;
  // kExited: the exit code; on POSIX 128 + the signal when a signal ended it.
  uint32_t exitCode = 0;
  std::string output;  // its standard output, however it ended
  std::string error;
};

// Waits for the program's own end, not its output's: a program it started (Wine's server)
// may hold standard output open long after it.
ChildResult RunChild(const ChildProcess& child);

// The path of this program's own executable, or empty when it cannot be told.
std::string ThisProgramPath();

// One argument of a Windows command line, quoted so that the C runtime of the program
// started reads it back unchanged (backslashes doubled only before a quote).
std::string WindowsCommandLineArgument(const std::string& argument);

}  // namespace korvane

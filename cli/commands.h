// The subcommands of the korvane command line. Each takes the arguments after its name
// and returns the process exit status.
#pragma once

namespace korvane {

constexpr int kExitOk = 0;
constexpr int kExitFindings = 1;  // some input could not be read
constexpr int kExitUsage = 2;

int DumpCommand(int argc, char** argv);
int RunCommand(int argc, char** argv);
int CheckCommand(int argc, char** argv);

const char* ProgramVersion();

}  // namespace korvane

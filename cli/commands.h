// The korvane command line: its subcommands, each declared on one CLI11 app, and the entry
// that reads the whole command line and runs the subcommand it names.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace korvane {

constexpr int kExitOk = 0;
constexpr int kExitFindings = 1;  // some input could not be read
constexpr int kExitUsage = 2;

// A subcommand declared on the top-level app, and what runs it once the command line has
// been read into the values its options were bound to.
struct Command {
  CLI::App* app;
  std::function<int()> run;
};

Command AddDumpCommand(CLI::App& korvane);
Command AddRunCommand(CLI::App& korvane);
Command AddCheckCommand(CLI::App& korvane);
Command AddCodecsCommand(CLI::App& korvane);

// The whole command line, argv[0] being the program; returns the process exit status.
int KorvaneMain(int argc, const char* const* argv);

// A usage error found after the command line was read: one line on standard error, naming
// the command ("korvane run") and where its options are told. Returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);

// An option that takes a value: shown in help and usage as "NAME TYPE"; an empty value
// ("--machine ''") is a usage error, since it names nothing.
CLI::Option* TakesValue(CLI::Option* option, const std::string& type);

// --json, told alike by every command that can print one JSON document.
CLI::Option* AddJsonFlag(CLI::App* app, bool* json);

// Writes a command's whole output; false, told on standard error after "command: ", when it
// could not be written in full.
bool WriteStandardOutput(const std::string& text, const std::string& command);

// The checks of --view (32 or 64) and --partition (a number from 1 on), which run and
// check share.
CLI::Validator ViewValidator();
CLI::Validator PartitionValidator();

const char* ProgramVersion();

}  // namespace korvane

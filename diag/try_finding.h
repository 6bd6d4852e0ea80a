// The one-line form in which a child process (or the Windows CLI under Wine) hands back
// what trying a stream found, and the finding of a child that ended without one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/decoder_trial.h"

namespace korvane {

// One line, without its line feed:
// "korvane-try <file> <stream> <outcome-word> <code> <module> <text>", tab-separated, with
// tabs and line breaks in the texts replaced by spaces and an empty module written as "-".
std::string FindingLine(size_t file, size_t stream, const TryFinding& finding);

struct ParsedFinding {
  size_t file = 0;
  size_t stream = 0;
  TryFinding finding;
};
// The finding of a line made by FindingLine; nullopt for any other line (a decoder or
// Wine may print its own lines on the same output).
std::optional<ParsedFinding> ParseFindingLine(const std::string& line);
// The findings of every such line of a child's whole output, in order.
std::vector<ParsedFinding> ParseFindingLines(const std::string& output);

// A line a child prints before each step that may take it down ("reading frame 3 through
// AVIFile"), so that a death without a finding line still says where it happened.
std::string StageLine(const std::string& stage);
// The stage of a line made by StageLine; nullopt for any other line.
std::optional<std::string> ParseStageLine(const std::string& line);

// The finding of a child that left no finding line, after its last stage (may be
// empty): a crash when its exit code is an exception code (0xC0000000 and above) or 3,
// with which the C runtime's abort() ends a program; else a try that ended without saying.
TryFinding FindingFromExitCode(uint32_t exitCode, const std::string& stage);

// The finding in a child's whole output: its finding line, else what its exit code and
// last stage tell.
TryFinding FindingFromChildOutput(const std::string& output, uint32_t exitCode);

// The finding of a child that was stopped after timeoutMs milliseconds, in its last
// stage (may be empty).
TryFinding HungFinding(int timeoutMs, const std::string& stage);

// The last stage a child's output names, or empty.
std::string LastStage(const std::string& output);

// "1.5 s", "5 s", "250 ms"
std::string DurationText(int milliseconds);

}  // namespace korvane

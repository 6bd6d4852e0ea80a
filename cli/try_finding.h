// What trying a stream on the machine's own decoders found, and the one-line form in which
// a child process (or the Windows CLI under Wine) hands it back. Portable code only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

enum class TryOutcome {
  kDecodes,        // the decoder took the first frames or blocks and gave pictures or PCM
  kDoesNotDecode,  // no decoder, or it refused or failed with an error code
  kCrashed,        // the child died of an exception
  kHung,           // the child did not finish within the time limit
  kNotTried,       // nothing to try (uncompressed, not audio or video) or trying failed
};

struct TryFinding {
  TryOutcome outcome = TryOutcome::kNotTried;
  // What the try line says after "try: ": "decodes: 10 frames, 320x240, 24-bit",
  // "does not decode: no decompressor for 'MJPG'".
  std::string text;
  uint32_t exceptionCode = 0;  // kCrashed: the exception code, when it is known
  std::string module;          // kCrashed: the library the exception happened in, when known
};

// "decodes", "does not decode", "crashed", "hung", "not tried".
const char* TryOutcomeName(TryOutcome outcome);
std::optional<TryOutcome> TryOutcomeFromName(const std::string& name);

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

// "crashed: exception 0xC0000005 (access violation) in kvcrash.dll"
std::string CrashText(uint32_t code, const std::string& module);

// Names of the codes a try meets, "ICERR_BADFORMAT" or "error -2" when unknown.
std::string IcErrorName(long code);        // ICERR_*
std::string MmResultName(unsigned code);   // MMSYSERR_* and ACMERR_*
std::string AviErrorName(long code);       // AVIERR_* (HRESULTs of AVIFile)
std::string ExceptionName(uint32_t code);  // "access violation", or empty when unknown

// One argument of a Windows command line, quoted so that the C runtime of the program
// started reads it back unchanged (backslashes doubled only before a quote).
std::string WindowsCommandLineArgument(const std::string& argument);

// "1.5 s", "5 s", "250 ms"
std::string DurationText(int milliseconds);

}  // namespace korvane

// korvane check --try: the streams of checked files tried on the machine's own decoders,
// each in a child process under a time limit. On Windows the children are this program
// in its one-stream mode; elsewhere the Windows CLI runs them inside the Wine prefix.
#pragma once

#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/try_finding.h"

namespace korvane {

constexpr int kDefaultTryTimeoutMs = 5000;

struct TryRequest {
  int timeoutMs = kDefaultTryTimeoutMs;
  // Away from Windows: the Wine prefix to run in, and whether the 64-bit view is asked for.
  std::string prefix;
  bool view64 = false;
  std::string programPath;  // argv[0] of this program, to find the Windows CLI beside it
};

// The streams of a checked file that a try decodes: video and audio that need a decoder.
std::vector<size_t> StreamsToTry(const FileCheck& file);

// The finding of a stream that StreamsToTry leaves out: why it is not tried.
TryFinding UntriedFinding(const FileCheck& file, size_t index);

// Fills files[i].tries: a finding for each stream, tried or told why not. False with
// *error when nothing can be tried at all (no Wine, no Windows CLI); the files keep their
// static findings then.
bool TryFiles(const TryRequest& request, std::vector<FileCheck>* files, std::string* error);

#ifdef _WIN32
// The child's side, korvane-cli.exe check --try-stream N FILE: decodes stream N of FILE,
// prints its finding line and returns the exit status. A crash is reported by an
// exception filter as a finding line before the process ends with the exception code.
int TryOneStreamMain(const std::string& path, size_t index);
TryFinding TryOneStream(const std::string& path, size_t index);

// korvane-cli.exe check --try-findings: every file's findings as finding lines, for the
// Linux side that runs this program under Wine.
int TryFindingsMain(const std::vector<std::string>& paths, int timeoutMs);
#endif

}  // namespace korvane

// korvane check --try on this platform: where it can run, the run itself, and the hidden
// modes of korvane-cli.exe that the run starts. One file per platform: try_files_win32.cc
// starts this program's own child modes, try_files_posix.cc the Windows CLI under Wine.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "diag/decoder_trials.h"
#include "diag/file_check.h"

namespace korvane {

struct TryRequest {
  int timeoutMs = kDefaultTryTimeoutMs;
  // Away from Windows: the Wine prefix to run in, and whether the 64-bit view is asked for.
  std::string prefix;
  bool view64 = false;
};

// Why --try cannot run on the machine opened, or empty when it can. machineDir is what
// --machine named (empty without it), winePrefix the prefix's folder when the machine is one.
std::string WhyNoTry(const std::string& machineDir, const std::string& winePrefix);

// Fills files[i].tries: a finding for each stream, tried or told why not. False with
// *error when nothing can be tried at all (no Wine, no Windows CLI); the files keep their
// static findings then.
bool TryFiles(const TryRequest& request, std::vector<FileCheck>* files, std::string* error);

// The modes --try starts korvane-cli.exe in: one stream (--try-stream N FILE), one file's
// DirectShow graph (--try-graph R FILE), or every
// file's findings as finding lines (--try-findings, for the run under Wine). Declared on
// Windows only, and kept out of the help, since they are not for people.
struct ChildModes {
  int tryStream = -1;
  int tryGraph = -1;  // --try-graph R FILE: the file's DirectShow graph with R renderers
  bool tryFindings = false;
  int timeoutMs = 0;  // --try-timeout-ms, the parent's limit for each try
};
void AddChildModeOptions(CLI::App* app, ChildModes* modes);

// The exit status of the child mode asked for, after running it; nullopt when none was.
std::optional<int> RunChildMode(const ChildModes& modes, const std::vector<std::string>& files,
                                int timeoutMs);

}  // namespace korvane

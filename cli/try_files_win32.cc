// korvane check --try on Windows: each stream decoded by a child process of this program
// (korvane-cli.exe check --try-stream N FILE), stopped when it outlives the time limit;
// and the child modes themselves.
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "cli/try_files.h"
#include "diag/try_finding.h"
#include "platform/decoder_trial.h"
#include "platform/subprocess.h"
#include "platform/win32/live_system.h"

namespace korvane {
namespace {

const char kCommand[] = "korvane check";

// The child tells its parent each stage on standard output, and a crash as a finding line.
TrialObserver ParentObserver() {
  TrialObserver observer;
  observer.stage = [](const std::string& stage) {
    std::printf("%s\n", StageLine(stage).c_str());
    std::fflush(stdout);
  };
  observer.crashLine = [](const TryFinding& crash) { return FindingLine(0, 0, crash); };
  return observer;
}

// korvane-cli.exe check --try-stream N FILE: decodes stream N of FILE and prints its
// finding line; a crash is told by the exception filter before the process ends with the
// exception code.
int TryOneStreamMain(const std::string& path, size_t index) {
  const TrialObserver observer = ParentObserver();
  ReportCrashes(observer);
  const TryFinding finding = TryStream(DecoderTrial::kVideoForWindows, path, index, observer);
  std::printf("%s\n", FindingLine(0, index, finding).c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// korvane-cli.exe check --try-graph R FILE: builds and runs FILE's DirectShow graph with R
// renderers and prints its finding line; a crash is told the same way as a stream's.
int TryGraphMain(const std::string& path, size_t renderers) {
  TrialObserver observer = ParentObserver();
  observer.crashLine = [](const TryFinding& crash) {
    GraphFinding graph;
    graph.finding = crash;
    return GraphFindingLine(0, graph);
  };
  // Once the finding is told the child's work is done: it ends there, without the graph's
  // stop and release, which can deadlock in Wine's GStreamer splitter.
  observer.graphFound = [](const GraphFinding& graph) {
    std::printf("%s\n", GraphFindingLine(0, graph).c_str());
    std::_Exit(std::fflush(stdout) == 0 ? 0 : 1);
  };
  ReportCrashes(observer);
  const GraphFinding graph = TryDirectShowGraph(path, renderers, observer);
  std::printf("%s\n", GraphFindingLine(0, graph).c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// korvane-cli.exe check --try-findings: every file's findings as finding lines, for the
// Linux side that runs this program under Wine.
int TryFindingsMain(const std::vector<std::string>& paths, int timeoutMs) {
  std::unique_ptr<System> system = MakeLiveSystem();
  const InstalledDrivers drivers = ReadInstalledDrivers(*system);
  const std::string program = ThisProgramPath();
  for (size_t f = 0; f < paths.size(); ++f) {
    FileCheck file = CheckAviFile(*system, drivers, paths[f]);
    if (!file.error.empty()) continue;
    TryFileInChildren(RunChild, program, timeoutMs, &file);
    for (size_t s = 0; s < file.tries.size(); ++s) {
      std::printf("%s\n", FindingLine(f, s, file.tries[s]).c_str());
      std::fflush(stdout);
    }
    if (const auto& graph = file.paths.directshowTry) {
      GraphFinding line;
      line.finding = graph->finding;
      line.frames = graph->frames;
      line.branches = graph->branches;
      std::printf("%s\n", GraphFindingLine(f, line).c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}

}  // namespace

std::string WhyNoTry(const std::string& machineDir, const std::string&) {
  if (!machineDir.empty()) {
    return "--try runs the decoders of the machine it runs on; leave out --machine";
  }
  return std::string();
}

bool TryFiles(const TryRequest& request, std::vector<FileCheck>* files, std::string* error) {
  const std::string program = ThisProgramPath();
  if (program.empty()) {
    *error = "--try can't find this program's own path to start its tries";
    return false;
  }
  for (FileCheck& file : *files) {
    if (file.error.empty()) TryFileInChildren(RunChild, program, request.timeoutMs, &file);
  }
  return true;
}

void AddChildModeOptions(CLI::App* app, ChildModes* modes) {
  app->add_option("--try-stream", modes->tryStream)->group("");
  app->add_option("--try-graph", modes->tryGraph)->group("");
  app->add_flag("--try-findings", modes->tryFindings)->group("");
  app->add_option("--try-timeout-ms", modes->timeoutMs)->group("");
}

std::optional<int> RunChildMode(const ChildModes& modes, const std::vector<std::string>& files,
                                int timeoutMs) {
  if (modes.tryStream >= 0) {
    if (files.size() != 1) return UsageError(kCommand, "--try-stream takes one FILE");
    return TryOneStreamMain(files.front(), static_cast<size_t>(modes.tryStream));
  }
  if (modes.tryGraph >= 0) {
    if (files.size() != 1) return UsageError(kCommand, "--try-graph takes one FILE");
    return TryGraphMain(files.front(), static_cast<size_t>(modes.tryGraph));
  }
  if (modes.tryFindings) return TryFindingsMain(files, timeoutMs);
  return std::nullopt;
}

}  // namespace korvane

// Starting the tries of checked files and reading their findings back. Portable code only:
// the children are started through the ChildRunner given.
#include "diag/decoder_trials.h"

#include <filesystem>

#include "diag/streams_to_try.h"
#include "diag/try_finding.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Time for Wine to start (or to bring an older prefix up to date) on top of the tries.
constexpr int kWineStartMs = 60000;
// Time for each child to start and end on top of its own limit.
constexpr int kChildOverheadMs = 3000;

constexpr char kSaidNothing[] =
    "not tried: the Windows CLI under Wine said nothing about this stream";

TryFinding NotTried(const std::string& why) {
  TryFinding finding;
  finding.text = "not tried: " + why;
  return finding;
}

// Until the Windows CLI tells a stream's finding.
TryFinding SaidNothing() {
  TryFinding finding;
  finding.text = kSaidNothing;
  return finding;
}

std::string Canonical(const std::string& path) {
  std::error_code ignored;
  fs::path result = fs::weakly_canonical(fs::absolute(path, ignored), ignored);
  if (result.empty()) result = fs::absolute(path, ignored).lexically_normal();
  return result.string();
}

TryFinding TryInChild(const ChildRunner& run, const std::string& program, const std::string& path,
                      size_t stream, int timeoutMs) {
  ChildProcess child;
  child.argv = {program, "check", "--try-stream", std::to_string(stream), path};
  child.timeoutMs = timeoutMs;
  child.keepStandardError = false;
  const ChildResult result = run(child);
  switch (result.end) {
    case ChildResult::End::kNotStarted:
      return NotTried(result.error);
    case ChildResult::End::kTimedOut:
      return HungFinding(timeoutMs, LastStage(result.output));
    case ChildResult::End::kExited:
      break;
  }
  return FindingFromChildOutput(result.output, result.exitCode);
}

// Every stream of a file that was read starts as not tried, with why; the streams the
// Windows CLI is to try say it said nothing until it does. The files passed are listed
// in *passed, in the order the command line names them; *streams counts their tries.
std::vector<std::string> WindowsPathsToTry(const WineTrial& trial, std::vector<FileCheck>* files,
                                           std::vector<size_t>* passed, size_t* streams) {
  std::vector<std::string> paths;
  for (size_t f = 0; f < files->size(); ++f) {
    FileCheck& file = (*files)[f];
    if (!file.error.empty()) continue;
    const std::vector<size_t> toTry = StreamsToTry(file);
    file.tries.clear();
    for (size_t s = 0; s < file.walk.streams.size(); ++s) {
      file.tries.push_back(UntriedFinding(file, s));
    }
    if (toTry.empty()) continue;
    const auto windowsPath = WindowsPathOnDrives(trial.drives, file.path);
    for (size_t s : toTry) {
      file.tries[s] = windowsPath
                          ? SaidNothing()
                          : NotTried("the file is on no drive of the Wine prefix " + trial.prefix);
    }
    if (!windowsPath) continue;
    paths.push_back(*windowsPath);
    passed->push_back(f);
    *streams += toTry.size();
  }
  return paths;
}

// Why the run said no more than it did, or empty when it ended well.
std::string WhyRunStopped(const ChildResult& result, const std::string& wine, int limitMs) {
  switch (result.end) {
    case ChildResult::End::kNotStarted:
      return result.error;
    case ChildResult::End::kTimedOut:
      return wine + " did not finish within " + DurationText(limitMs) + " and was stopped";
    case ChildResult::End::kExited:
      break;
  }
  if (result.exitCode == 0) return std::string();
  return wine + " ended with exit status " + std::to_string(result.exitCode) +
         " before it told this stream (its messages are on standard error)";
}

// Each finding line of output in its place; the file number is the place on the command line.
void TakeFindingLines(const std::string& output, const std::vector<size_t>& passed,
                      std::vector<FileCheck>* files) {
  for (const ParsedFinding& parsed : ParseFindingLines(output)) {
    if (parsed.file >= passed.size()) continue;
    FileCheck& file = (*files)[passed[parsed.file]];
    if (parsed.stream < file.tries.size()) file.tries[parsed.stream] = parsed.finding;
  }
}

}  // namespace

void TryFileInChildren(const ChildRunner& run, const std::string& program, int timeoutMs,
                       FileCheck* file) {
  file->tries.clear();
  const std::vector<size_t> toTry = StreamsToTry(*file);
  for (size_t i = 0; i < file->walk.streams.size(); ++i) {
    bool tried = false;
    for (size_t s : toTry) tried = tried || s == i;
    file->tries.push_back(tried ? TryInChild(run, program, file->path, i, timeoutMs)
                                : UntriedFinding(*file, i));
  }
}

void TryFilesUnderWine(const ChildRunner& run, const WineTrial& trial,
                       std::vector<FileCheck>* files) {
  std::vector<size_t> passed;
  size_t streams = 0;
  const std::vector<std::string> paths = WindowsPathsToTry(trial, files, &passed, &streams);
  if (passed.empty()) return;
  ChildProcess child;
  child.argv = {trial.wine,       trial.cliExe,       "check",
                "--try-findings", "--try-timeout-ms", std::to_string(trial.timeoutMs)};
  child.argv.insert(child.argv.end(), paths.begin(), paths.end());
  // Wine takes only an absolute WINEPREFIX.
  std::error_code ignored;
  child.extraEnv = {"WINEPREFIX=" + fs::absolute(trial.prefix, ignored).string(), "WINEDEBUG=-all",
                    "WINEDLLOVERRIDES=mscoree,mshtml="};
  child.timeoutMs = kWineStartMs + static_cast<int>(streams) * (trial.timeoutMs + kChildOverheadMs);
  const ChildResult result = run(child);
  TakeFindingLines(result.output, passed, files);
  const std::string whyStopped = WhyRunStopped(result, trial.wine, child.timeoutMs);
  if (whyStopped.empty()) return;
  // What was found before the run was stopped stands; the rest says why it is missing.
  for (size_t f : passed) {
    for (TryFinding& finding : (*files)[f].tries) {
      if (finding.text == kSaidNothing) finding.text = "not tried: " + whyStopped;
    }
  }
}

std::optional<std::string> WindowsPathOnDrives(const std::map<char, std::string>& drives,
                                               const std::string& hostPath) {
  const std::string file = Canonical(hostPath);
  std::optional<std::string> best;
  size_t bestLength = 0;
  for (const auto& [letter, folder] : drives) {
    std::string root = Canonical(folder);
    if (!root.empty() && root.back() == '/') root.pop_back();
    const bool inside = file.size() > root.size() && file.compare(0, root.size(), root) == 0 &&
                        file[root.size()] == '/';
    if (!inside || (best && root.size() + 1 <= bestLength)) continue;
    std::string windows = std::string(1, letter) + ":" + file.substr(root.size());
    for (char& c : windows) {
      if (c == '/') c = '\\';
    }
    best = windows;
    bestLength = root.size() + 1;
  }
  return best;
}

}  // namespace korvane

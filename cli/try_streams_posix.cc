// korvane check --try away from Windows: the Windows CLI runs the tries inside the Wine
// prefix (korvane-cli.exe check --try-findings), and its finding lines join the files.
#include <filesystem>
#include <string>
#include <vector>

#include "cli/try_streams.h"
#include "cli/wine_try.h"
#include "platform/offline/machines/wine_prefix.h"

namespace korvane {
namespace {

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

}  // namespace

bool TryFiles(const TryRequest& request, std::vector<FileCheck>* files, std::string* error) {
  // What the prefix can't run is said first: no Wine or build found later would change it.
  if (!request.view64) {
    *error = WhyNo32BitSide(request.prefix);
    if (!error->empty()) return false;
  }
  const auto tool = FindWineTool(CurrentWineTryEnvironment(), request.view64, error);
  if (!tool) return false;
  const std::map<char, std::string> drives = ReadDosDevices(request.prefix);

  std::vector<std::string> argv = {
      tool->wine,       tool->cliExe,       "check",
      "--try-findings", "--try-timeout-ms", std::to_string(request.timeoutMs)};
  std::vector<size_t> passed;  // the files' indexes, in the order they are passed
  size_t streamsToTry = 0;
  for (size_t f = 0; f < files->size(); ++f) {
    FileCheck& file = (*files)[f];
    if (!file.error.empty()) continue;
    const std::vector<size_t> toTry = StreamsToTry(file);
    file.tries.clear();
    for (size_t s = 0; s < file.walk.streams.size(); ++s)
      file.tries.push_back(UntriedFinding(file, s));
    if (toTry.empty()) continue;
    const auto windowsPath = WindowsPathOnDrives(drives, file.path);
    if (!windowsPath) {
      for (size_t s : toTry) {
        file.tries[s] = NotTried("the file is on no drive of the Wine prefix " + request.prefix);
      }
      continue;
    }
    for (size_t s : toTry) {
      file.tries[s].text = kSaidNothing;
    }
    argv.push_back(*windowsPath);
    passed.push_back(f);
    streamsToTry += toTry.size();
  }
  if (passed.empty()) return true;

  // Wine takes only an absolute WINEPREFIX.
  std::error_code ignored;
  const std::string prefix = std::filesystem::absolute(request.prefix, ignored).string();
  const std::vector<std::string> env = {"WINEPREFIX=" + prefix, "WINEDEBUG=-all",
                                        "WINEDLLOVERRIDES=mscoree,mshtml="};
  const int limitMs =
      kWineStartMs + static_cast<int>(streamsToTry) * (request.timeoutMs + kChildOverheadMs);
  std::string output, runError;
  int status = 0;
  bool ran = RunCaught(argv, env, limitMs, &output, &status, &runError);
  if (ran && status != 0) {
    ran = false;
    runError = tool->wine + " ended with exit status " + std::to_string(status) +
               " before it told this stream (its messages are on standard error)";
  }
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const auto parsed = ParseFindingLine(output.substr(start, end - start));
    start = end + 1;
    if (!parsed || parsed->file >= passed.size()) continue;
    FileCheck& file = (*files)[passed[parsed->file]];
    if (parsed->stream < file.tries.size()) file.tries[parsed->stream] = parsed->finding;
  }
  if (!ran) {
    // What was found before the run was stopped stands; the rest says why it is missing.
    for (size_t f : passed) {
      for (TryFinding& finding : (*files)[f].tries) {
        if (finding.text == kSaidNothing) finding.text = "not tried: " + runError;
      }
    }
  }
  return true;
}

}  // namespace korvane

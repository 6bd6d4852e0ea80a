// korvane check --try away from Windows: the Windows CLI runs the tries inside the Wine
// prefix (korvane-cli.exe check --try-findings), and its finding lines join the files.
#include "cli/try_files.h"
#include "platform/offline/machines/wine_prefix.h"
#include "platform/subprocess.h"
#include "platform/wine_tool.h"

namespace korvane {

std::string WhyNoTry(const std::string& machineDir, const std::string& winePrefix) {
  if (!winePrefix.empty()) return std::string();
  const std::string folder = machineDir.empty() ? "the machine" : machineDir;
  return "--try needs a Wine prefix to run the decoders in; " + folder +
         " is not one but a Windows installation read from disk (a described machine, "
         "an installation folder or a disk image), where nothing can run";
}

bool TryFiles(const TryRequest& request, std::vector<FileCheck>* files, std::string* error) {
  // What the prefix can't run is said first: no Wine or build found later would change it.
  if (!request.view64) {
    *error = WhyNo32BitSide(request.prefix);
    if (!error->empty()) return false;
  }
  const auto tool = FindWineTool(CurrentWineTryEnvironment(), request.view64, error);
  if (!tool) return false;
  WineTrial trial;
  trial.wine = tool->wine;
  trial.cliExe = tool->cliExe;
  trial.prefix = request.prefix;
  trial.drives = ReadDosDevices(request.prefix);
  trial.timeoutMs = request.timeoutMs;
  TryFilesUnderWine(RunChild, trial, files);
  return true;
}

// The child modes are korvane-cli.exe's; this program has none.
void AddChildModeOptions(CLI::App*, ChildModes*) {}

std::optional<int> RunChildMode(const ChildModes&, const std::vector<std::string>&, int) {
  return std::nullopt;
}

}  // namespace korvane

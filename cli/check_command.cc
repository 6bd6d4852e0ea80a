// korvane check: each AVI file's decoders against a machine's drivers.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/commands.h"
#include "cli/default_machine.h"
#include "platform/offline/machines/open_machine.h"

namespace korvane {
namespace {

const char kCheckUsage[] =
    "usage: korvane check [--machine DIR] [--json] FILE...\n\n"
    "For each AVI FILE: its streams (type, FourCC or format tag, codec), the decoder\n"
    "each needs (video: the vidc.XXXX entry of [drivers32] in system.ini or of the\n"
    "drivers32 registry key, FourCC matched without regard to case; audio: the usual\n"
    "ACM driver for the format tag), whether that decoder is registered, where, and\n"
    "whether its library loads. Each file ends with a verdict: \"playable here\", or\n"
    "what to install or repair.\n\n"
    "  --machine DIR  check against the Windows installation in folder DIR: a Wine\n"
    "                 prefix (seen as a 32-bit program sees it), or a described machine\n"
    "                 (c/ is drive C:, registry.reg its registry, machine.ini its other\n"
    "                 facts, optional); without it, the machine the program runs on, and\n"
    "                 on Linux the Wine prefix $WINEPREFIX, else ~/.wine\n"
    "  --json         print one JSON document instead of lines\n"
    "  --help         show this text\n\n"
    "Exit status: 0 when every file was read and is playable here, 1 when a file\n"
    "could not be read or is not playable here, 2 for a usage error or a machine\n"
    "that cannot be read.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "korvane check: %s\n\n%s", message.c_str(), kCheckUsage);
  return kExitUsage;
}

struct CheckArgs {
  std::vector<std::string> files;
  std::string machineDir;
  bool json = false;
};

// The exit status when the command ends here (help shown or usage error told).
std::optional<int> ParseArgs(int argc, char** argv, CheckArgs* args) {
  bool optionsDone = false;
  bool machineGiven = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsDone && std::strcmp(arg, "--") == 0) {
      optionsDone = true;
    } else if (!optionsDone && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
      std::fputs(kCheckUsage, stdout);
      return kExitOk;
    } else if (!optionsDone && std::strcmp(arg, "--json") == 0) {
      args->json = true;
    } else if (!optionsDone && std::strcmp(arg, "--machine") == 0) {
      if (machineGiven) return UsageError("--machine given twice");
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return UsageError("--machine needs a folder");
      machineGiven = true;
      args->machineDir = argv[++i];
    } else if (!optionsDone && arg[0] == '-' && arg[1] != '\0') {
      return UsageError(std::string("unknown option ") + arg);
    } else {
      args->files.push_back(arg);
    }
  }
  if (args->files.empty()) return UsageError("no FILE given");
  return std::nullopt;
}

// The machine in dir (a Wine prefix or a described machine), or the default machine
// when no folder is given.
std::unique_ptr<System> OpenNamedOrDefaultMachine(const std::string& dir, std::string* error) {
  if (dir.empty()) return OpenDefaultMachine(error);
  return OpenMachine(dir, error);
}

}  // namespace

int CheckCommand(int argc, char** argv) {
  CheckArgs args;
  if (const std::optional<int> done = ParseArgs(argc, argv, &args)) return *done;

  std::string error;
  std::unique_ptr<System> system = OpenNamedOrDefaultMachine(args.machineDir, &error);
  if (system == nullptr) {
    std::fprintf(stderr, "korvane check: %s\n", error.c_str());
    return kExitUsage;
  }
  const CheckedMachine machine =
      ReadCheckedMachine(*system, args.machineDir.empty() ? "this machine" : args.machineDir);
  std::vector<FileCheck> files;
  bool allPlayable = true;
  for (const std::string& path : args.files) {
    files.push_back(CheckAviFile(*system, machine.drivers, path));
    const FileCheck& file = files.back();
    if (!file.error.empty()) {
      std::fprintf(stderr, "korvane check: can't open %s: %s\n", path.c_str(), file.error.c_str());
    }
    allPlayable = allPlayable && file.playable;
  }
  const std::string text = args.json ? CheckJson(machine, files) : CheckLines(machine, files);
  const bool written =
      std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
  if (!written) std::fprintf(stderr, "korvane check: writing standard output failed\n");
  return written && allPlayable ? kExitOk : kExitFindings;
}

}  // namespace korvane

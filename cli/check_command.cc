// korvane check: each AVI file's decoders against a machine's drivers.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/commands.h"
#include "cli/default_machine.h"
#include "platform/offline/machines/open_machine.h"

namespace korvane {
namespace {

const char kCheckDescription[] =
    "Tells which decoders AVI files need and whether the machine has them.\n\n"
    "For each AVI FILE: its streams (type, FourCC or format tag, codec), the decoder\n"
    "each needs (video: the vidc.XXXX entry of [drivers32] in system.ini or of the\n"
    "drivers32 registry key, FourCC matched without regard to case; audio: the usual\n"
    "ACM driver for the format tag), whether that decoder is registered, where, and\n"
    "whether its library loads. Each file ends with a verdict: \"playable here\", or\n"
    "what to install or repair.\n";

const char kCheckExitStatus[] =
    "Exit status: 0 when every file was read and is playable here, 1 when a file\n"
    "could not be read or is not playable here, 2 for a usage error or a machine\n"
    "that cannot be read.\n";

struct CheckArgs {
  std::vector<std::string> files;
  std::string machineDir;
  bool json = false;
};

// The machine in dir (a Wine prefix or a described machine), or the default machine
// when no folder is given.
std::unique_ptr<System> OpenNamedOrDefaultMachine(const std::string& dir, std::string* error) {
  if (dir.empty()) return OpenDefaultMachine(error);
  return OpenMachine(dir, error);
}

int RunCheck(const CheckArgs& args) {
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

}  // namespace

Command AddCheckCommand(CLI::App& korvane) {
  auto args = std::make_shared<CheckArgs>();
  CLI::App* app = korvane.add_subcommand("check", kCheckDescription);
  app->footer(kCheckExitStatus);
  TakesValue(app->add_option("--machine", args->machineDir,
                             "check against the Windows installation in folder DIR: a Wine "
                             "prefix (seen as a 32-bit program sees it), or a described machine "
                             "(c/ is drive C:, registry.reg its registry, machine.ini its other "
                             "facts, optional); without it, the machine the program runs on, and "
                             "on Linux the Wine prefix $WINEPREFIX, else ~/.wine"),
             "DIR");
  app->add_flag("--json", args->json, "print one JSON document instead of lines");
  app->add_option("FILE", args->files)->required();
  return {app, [args] { return RunCheck(*args); }};
}

}  // namespace korvane

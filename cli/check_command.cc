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
  std::string user;
  int partition = 0;
  bool json = false;
};

// The machine in dir (a Wine prefix or a described machine), or the default machine
// when no folder is given.
std::unique_ptr<System> OpenNamedOrDefaultMachine(const CheckArgs& args, std::string* error) {
  if (args.machineDir.empty()) return OpenDefaultMachine(error);
  MachineOptions options;
  options.user = args.user;
  options.partition = args.partition;
  std::unique_ptr<OfflineSystem> machine = OpenMachine(args.machineDir, error, options);
  if (machine) {
    for (const std::string& note : machine->notes()) {
      std::fprintf(stderr, "korvane check: %s\n", note.c_str());
    }
  }
  return machine;
}

int RunCheck(const CheckArgs& args) {
  std::string error;
  std::unique_ptr<System> system = OpenNamedOrDefaultMachine(args, &error);
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
                             "check against the Windows machine at PATH: a Wine prefix (seen as a "
                             "32-bit program sees it), a described machine (c/ is drive C:, "
                             "registry.reg its registry, machine.ini its other facts, optional), "
                             "the root folder of a Windows installation, or a disk image (raw, "
                             "VHD, VMDK); without it, the machine the program runs on, and on "
                             "Linux the Wine prefix $WINEPREFIX, else ~/.wine"),
             "PATH");
  TakesValue(app->add_option("--user", args->user,
                             "a Windows installation or disk image: the registry of this user"),
             "NAME");
  TakesValue(app->add_option("--partition", args->partition,
                             "a disk image: the Windows installation on partition N (1 is the "
                             "first)"),
             "N")
      ->check(CLI::Validator(
          [](std::string& value) {
            return !value.empty() && value.find_first_not_of("0123456789") == std::string::npos &&
                           value.size() < 6 && std::stoi(value) > 0
                       ? std::string()
                       : "--partition takes a partition number from 1 on, not '" + value + "'";
          },
          std::string()));
  app->add_flag("--json", args->json, "print one JSON document instead of lines");
  app->add_option("FILE", args->files)->required();
  return {app, [args] { return RunCheck(*args); }};
}

}  // namespace korvane

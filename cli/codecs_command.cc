// korvane codecs: the decoders a machine offers players, every way they are registered.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/codecs_list.h"
#include "cli/commands.h"
#include "cli/machine_choice.h"

namespace korvane {
namespace {

const char kCommand[] = "korvane codecs";

const char kCodecsDescription[] =
    "Lists the decoders a Windows machine offers players, grouped by the way players\n"
    "reach them: Video for Windows (the vidc.* entries of [drivers32] in system.ini and\n"
    "of the drivers32 registry key), ACM (msacm.*), DirectShow filters (the decoders,\n"
    "and the sources and splitters that take an AVI file, from the legacy filter\n"
    "category with their FilterData), DMOs and Media Foundation transforms (their\n"
    "decoder categories). For each: its name, CLSID, merit (DirectShow), the media\n"
    "types it takes, where it is registered, its library, whether that library is\n"
    "found and loads, and what is broken: a library that is missing or does not load,\n"
    "a CLSID without InprocServer32, FilterData that cannot be read.\n";

const char kCodecsExitStatus[] =
    "Exit status: 0 after the list (what is broken is not an error), 1 when it could not\n"
    "be written in full, 2 for a usage error or a machine that cannot be read.\n";

const MachineOptionHelp kMachineHelp = {
    "list the decoders of the Windows machine at PATH: a Wine prefix, a described machine (c/ "
    "is drive C:, registry.reg its registry, machine.ini its other facts, optional), the root "
    "folder of a Windows installation, or a disk image (raw, VHD, VMDK); without it, the "
    "machine the program runs on, and on Linux the Wine prefix $WINEPREFIX, else ~/.wine",
    "how a program sees a 64-bit Wine prefix: 32 (the default) as a 32-bit program, or 64",
    "a Windows installation or disk image: the registry of this user",
    "a disk image: the Windows installation on partition N (1 is the first)",
};

struct CodecsArgs {
  std::shared_ptr<MachineChoice> machine = std::make_shared<MachineChoice>();
  bool json = false;
  bool explain = false;
};

int RunCodecs(const CodecsArgs& args) {
  OpenedMachine opened = OpenChosenMachine(*args.machine, kCommand);
  if (opened.report) {
    std::fprintf(stderr,
                 "%s: %s is a saved report, not a machine: a report does not hold the "
                 "machine's DirectShow, DMO and Media Foundation registrations\n",
                 kCommand, args.machine->machine.c_str());
    return kExitUsage;
  }
  if (!opened.system) return MachineNotOpened(opened, kCommand);
  const std::string& named = args.machine->machine;
  const CodecList list = ListCodecs(*opened.system, named.empty() ? "this machine" : named);
  const std::string text = args.json ? CodecJson(list) : CodecLines(list, args.explain);
  return WriteStandardOutput(text, kCommand) ? kExitOk : kExitFindings;
}

}  // namespace

Command AddCodecsCommand(CLI::App& korvane) {
  auto args = std::make_shared<CodecsArgs>();
  CLI::App* app = korvane.add_subcommand("codecs", kCodecsDescription);
  app->footer(kCodecsExitStatus);
  AddMachineOptions(app, args->machine, kMachineHelp);
  AddJsonFlag(app, &args->json);
  app->add_flag("--explain", args->explain,
                "after each library that is missing or does not load, the reason");
  return {app, [args] { return RunCodecs(*args); }};
}

}  // namespace korvane

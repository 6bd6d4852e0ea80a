// korvane check: each AVI file's decoders against a machine's drivers, and with --try
// each stream decoded by the machine's own decoders.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/commands.h"
#include "cli/machine_choice.h"
#include "cli/output_encoding.h"
#include "cli/try_files.h"
#include "diag/playback_paths.h"
#include "diag/playback_registrations.h"
#include "platform/gstreamer.h"

namespace korvane {
namespace {

const char kCheckDescription[] =
    "Tells which decoders AVI files need and whether the machine has them.\n\n"
    "For each AVI FILE: its streams (type, FourCC or format tag, codec), the decoder\n"
    "each needs (video: the vidc.XXXX entry of [drivers32] in system.ini or of the\n"
    "drivers32 registry key, FourCC matched without regard to case; audio: the usual\n"
    "ACM driver for the format tag), whether that decoder is registered, where, and\n"
    "whether its library loads. Each file ends with a verdict: \"playable here\", or\n"
    "what to install or repair. With --try, each stream is also decoded by the\n"
    "machine's own decoders, and the verdict follows what they do. After --, every\n"
    "argument is a FILE, even one that starts with a dash.\n";

const char kCheckExitStatus[] =
    "Exit status: 0 when every file was read and is playable here, 1 when a file\n"
    "could not be read or is not playable here, 2 for a usage error, a machine\n"
    "that cannot be read, or --try where nothing can run. A file is playable here\n"
    "when it plays in any of the ways the verdict names: Video for Windows programs,\n"
    "DirectShow players or Media Foundation players.\n";

const char kCommand[] = "korvane check";

const MachineOptionHelp kMachineHelp = {
    "check against the Windows machine at PATH: a Wine prefix (seen as a 32-bit program sees "
    "it), a described machine (c/ is drive C:, registry.reg its registry, machine.ini its other "
    "facts, optional), the root folder of a Windows installation, a disk image (raw, VHD, "
    "VMDK), or a report saved on a machine (Save log as, or the report file of korvane run), "
    "which answers for that machine as far as it holds the facts; without it, the machine the "
    "program runs on, and on Linux the Wine prefix $WINEPREFIX, else ~/.wine",
    "how a program sees a 64-bit Wine prefix: 32 (the default) as a 32-bit program, or 64",
    "a Windows installation or disk image: the registry of this user",
    "a disk image: the Windows installation on partition N (1 is the first)",
};

struct CheckArgs {
  std::vector<std::string> files;
  std::shared_ptr<MachineChoice> machine = std::make_shared<MachineChoice>();
  bool json = false;
  bool tryDecoders = false;
  std::string timeoutText;  // seconds, empty when not given
  ChildModes childModes;
};

// Seconds as milliseconds: a decimal number above 0 and at most 600.
std::optional<int> ParseSeconds(const std::string& text) {
  if (text.empty() || !(text[0] >= '0' && text[0] <= '9')) return std::nullopt;
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !(seconds > 0 && seconds <= 600)) return std::nullopt;
  const int ms = static_cast<int>(seconds * 1000 + 0.5);
  return ms > 0 ? std::optional<int>(ms) : std::nullopt;
}

// The try limit in milliseconds: --try-timeout's, else the one a parent gave a child mode,
// else the default; nullopt after a usage error was told.
std::optional<int> TryTimeoutMs(const CheckArgs& args) {
  const int given = args.childModes.timeoutMs;
  if (args.timeoutText.empty()) return given > 0 ? given : kDefaultTryTimeoutMs;
  const std::optional<int> ms = ParseSeconds(args.timeoutText);
  if (!ms) {
    UsageError(kCommand,
               "--try-timeout takes seconds above 0 and up to 600, not '" + args.timeoutText + "'");
    return std::nullopt;
  }
  if (!args.tryDecoders) {
    UsageError(kCommand, "--try-timeout applies to --try");
    return std::nullopt;
  }
  return ms;
}

// What a file needs beyond the machine's drivers: its DirectShow and Media Foundation
// registrations, and the host's GStreamer behind Wine's splitter. Absent for a saved report.
struct PlaybackContext {
  PlaybackRegistrations registrations;
  GstreamerOnDemand* gstreamer = nullptr;
};

// Each file checked against the machine; those that cannot be read are told on standard
// error.
std::vector<FileCheck> CheckFiles(const LibraryLookup& libraries, const CheckedMachine& machine,
                                  const std::vector<std::string>& paths,
                                  PlaybackContext* playback = nullptr) {
  std::vector<FileCheck> files;
  for (const std::string& path : paths) {
    files.push_back(CheckAviFile(libraries, machine.drivers, path));
    if (playback != nullptr) {
      SetPlaybackPaths(playback->registrations, playback->gstreamer, &files.back());
    }
    const FileCheck& file = files.back();
    if (!file.error.empty()) {
      std::fprintf(stderr, "korvane check: can't open %s: %s\n", path.c_str(), file.error.c_str());
    }
  }
  return files;
}

// The files' tries and the verdicts they change; false after what stopped them was told.
bool TryAndApply(const CheckArgs& args, const std::string& winePrefix, int timeoutMs,
                 std::vector<FileCheck>* files) {
  TryRequest request;
  request.timeoutMs = timeoutMs;
  request.prefix = winePrefix;
  request.view64 = args.machine->view == WineView::k64;
  std::string error;
  if (!TryFiles(request, files, &error)) {
    std::fprintf(stderr, "korvane check: %s\n", error.c_str());
    return false;
  }
  for (FileCheck& file : *files) ApplyTries(&file);
  return true;
}

int PrintChecks(const CheckArgs& args, const CheckedMachine& machine,
                const std::vector<FileCheck>& files) {
  bool allPlayable = true;
  for (const FileCheck& file : files) allPlayable = allPlayable && file.playable;
  const std::string text = args.json ? CheckJson(machine, files)
                                     : ForStandardOutput(CheckLines(machine, files),
                                                         StandardOutputUtf8From(machine.codePage));
  return WriteStandardOutput(text, kCommand) && allPlayable ? kExitOk : kExitFindings;
}

// The files checked against what a report saved on the machine says of it.
int CheckAgainstReport(const CheckArgs& args, const SavedReport& report) {
  if (args.tryDecoders) {
    std::fprintf(stderr,
                 "korvane check: --try decodes with the machine's own decoders, which a saved "
                 "report does not hold; run korvane check --try on the machine the report was "
                 "made on, or leave out --try\n");
    return kExitUsage;
  }
  const ReportFacts facts = ReadReportFacts(report);
  const CheckedMachine machine = ReportCheckedMachine(facts, args.machine->machine);
  return PrintChecks(args, machine, CheckFiles(facts.libraries, machine, args.files));
}

int RunCheck(const CheckArgs& args) {
  const std::optional<int> timeoutMs = TryTimeoutMs(args);
  if (!timeoutMs) return kExitUsage;
  if (const auto childStatus = RunChildMode(args.childModes, args.files, *timeoutMs)) {
    return *childStatus;
  }
  const OpenedMachine opened = OpenChosenMachine(*args.machine, kCommand);
  if (opened.report) return CheckAgainstReport(args, *opened.report);
  if (!opened.system) {
    std::fprintf(stderr, "korvane check: %s\n", opened.error.c_str());
    return kExitUsage;
  }
  if (args.tryDecoders) {
    const std::string whyNot = WhyNoTry(args.machine->machine, opened.winePrefix);
    if (!whyNot.empty()) {
      std::fprintf(stderr, "korvane check: %s\n", whyNot.c_str());
      return kExitUsage;
    }
  }
  const std::string& named = args.machine->machine;
  const CheckedMachine machine =
      ReadCheckedMachine(*opened.system, named.empty() ? "this machine" : named);
  System& system = *opened.system;
  const LibraryLookup libraries = [&system](const std::string& path) {
    return ProbeLibraryFacts(system, path);
  };
  const int viewBits = args.machine->view == WineView::k64 ? 64 : 32;
  GstreamerOnDemand gstreamer(
      [viewBits](std::string* whyNot) { return OpenHostGstreamer(viewBits, whyNot); });
  PlaybackContext playback{ReadPlaybackRegistrations(system, libraries), &gstreamer};
  std::vector<FileCheck> files = CheckFiles(libraries, machine, args.files, &playback);
  if (args.tryDecoders && !TryAndApply(args, opened.winePrefix, *timeoutMs, &files)) {
    return kExitUsage;
  }
  return PrintChecks(args, machine, files);
}

}  // namespace

Command AddCheckCommand(CLI::App& korvane) {
  auto args = std::make_shared<CheckArgs>();
  CLI::App* app = korvane.add_subcommand("check", kCheckDescription);
  app->footer(kCheckExitStatus);
  AddMachineOptions(app, args->machine, kMachineHelp);
  AddJsonFlag(app, &args->json);
  app->add_flag("--try", args->tryDecoders,
                "decode the first frames of each video stream and the first blocks of each "
                "audio stream with the machine's own decoders, each in a process of its own; "
                "on Linux inside the Wine prefix, under the Wine of the view (wine64, or the "
                "32-bit Wine named by $KORVANE_WINE32)");
  TakesValue(app->add_option("--try-timeout", args->timeoutText,
                             "stop a try that runs longer than S seconds (default 5) and "
                             "report a hang"),
             "S");
  AddChildModeOptions(app, &args->childModes);
  app->add_option("FILE", args->files)->required();
  return {app, [args] { return RunCheck(*args); }};
}

}  // namespace korvane

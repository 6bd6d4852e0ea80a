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
#include "cli/default_machine.h"
#include "cli/try_streams.h"
#include "platform/offline/open_machine.h"

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
    "that cannot be read, or --try where nothing can run.\n";

const char kCommand[] = "korvane check";

struct CheckArgs {
  std::vector<std::string> files;
  std::string machineDir;
  std::string viewText;  // "32" or "64", empty when not given
  std::optional<WineView> view;
  std::string user;
  int partition = 0;
  bool json = false;
  bool tryDecoders = false;
  std::string timeoutText;  // seconds, empty when not given
  // The modes of korvane-cli.exe that --try starts: one stream, or every file's findings.
  int tryStream = -1;
  bool tryFindings = false;
  int timeoutMsGiven = 0;
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

// The machine to check against: the one at the path named (a Wine prefix seen through
// the view, a described machine, an installation or a disk image), else the machine at
// hand; what was chosen on it (user, partition) is said on standard error. *prefix is the Wine
// prefix's folder when the machine is one, for --try to run in.
std::unique_ptr<System> OpenCheckedMachine(const CheckArgs& args, std::string* prefix,
                                           std::string* error) {
  std::optional<std::string> folder;
  if (!args.machineDir.empty()) {
    folder = args.machineDir;
  } else {
#ifdef _WIN32
    if (args.view) {
      *error = "--view applies to a Wine prefix named with --machine";
      return nullptr;
    }
    return OpenDefaultMachine(error);
#else
    folder = DefaultWinePrefix(std::getenv("WINEPREFIX"), std::getenv("HOME"), error);
    if (!folder) return nullptr;
#endif
  }
  MachineOptions options(args.view.value_or(WineView::k32), args.user);
  options.partition = args.partition;
  std::unique_ptr<OfflineSystem> offline = OpenMachine(*folder, error, options);
  if (offline && args.view && !offline->ReadFromWinePrefix()) {
    *error = "--view applies to a Wine prefix; " + *folder + " is not one";
    return nullptr;
  }
  if (offline && offline->ReadFromWinePrefix()) *prefix = *folder;
  if (offline) {
    for (const std::string& note : offline->notes()) {
      std::fprintf(stderr, "korvane check: %s\n", note.c_str());
    }
  }
  return offline;
}

// Why --try cannot run on the machine opened, or empty when it can.
std::string WhyNoTry(const CheckArgs& args, const std::string& prefix) {
#ifdef _WIN32
  (void)prefix;
  if (!args.machineDir.empty()) {
    return "--try runs the decoders of the machine it runs on; leave out --machine";
  }
  return std::string();
#else
  if (!prefix.empty()) return std::string();
  const std::string folder = args.machineDir.empty() ? "the machine" : args.machineDir;
  return "--try needs a Wine prefix to run the decoders in; " + folder +
         " is not one but a Windows installation read from disk (a described machine, "
         "an installation folder or a disk image), where nothing can run";
#endif
}

int RunCheck(CheckArgs& args) {
  int timeoutMs = args.timeoutMsGiven > 0 ? args.timeoutMsGiven : kDefaultTryTimeoutMs;
  if (!args.timeoutText.empty()) {
    const std::optional<int> ms = ParseSeconds(args.timeoutText);
    if (!ms) {
      return UsageError(kCommand, "--try-timeout takes seconds above 0 and up to 600, not '" +
                                      args.timeoutText + "'");
    }
    if (!args.tryDecoders) return UsageError(kCommand, "--try-timeout applies to --try");
    timeoutMs = *ms;
  }
  if (!args.viewText.empty()) args.view = args.viewText == "64" ? WineView::k64 : WineView::k32;
#ifdef _WIN32
  if (args.tryStream >= 0) {
    if (args.files.size() != 1) return UsageError(kCommand, "--try-stream takes one FILE");
    return TryOneStreamMain(args.files.front(), static_cast<size_t>(args.tryStream));
  }
  if (args.tryFindings) return TryFindingsMain(args.files, timeoutMs);
#endif

  std::string error, prefix;
  std::unique_ptr<System> system = OpenCheckedMachine(args, &prefix, &error);
  if (system == nullptr) {
    std::fprintf(stderr, "korvane check: %s\n", error.c_str());
    return kExitUsage;
  }
  if (args.tryDecoders) {
    const std::string whyNot = WhyNoTry(args, prefix);
    if (!whyNot.empty()) {
      std::fprintf(stderr, "korvane check: %s\n", whyNot.c_str());
      return kExitUsage;
    }
  }
  const CheckedMachine machine =
      ReadCheckedMachine(*system, args.machineDir.empty() ? "this machine" : args.machineDir);
  std::vector<FileCheck> files;
  for (const std::string& path : args.files) {
    files.push_back(CheckAviFile(*system, machine.drivers, path));
    const FileCheck& file = files.back();
    if (!file.error.empty()) {
      std::fprintf(stderr, "korvane check: can't open %s: %s\n", path.c_str(), file.error.c_str());
    }
  }
  if (args.tryDecoders) {
    TryRequest request;
    request.timeoutMs = timeoutMs;
    request.prefix = prefix;
    request.view64 = args.view == WineView::k64;
    if (!TryFiles(request, &files, &error)) {
      std::fprintf(stderr, "korvane check: %s\n", error.c_str());
      return kExitUsage;
    }
    for (FileCheck& file : files) ApplyTries(&file);
  }
  bool allPlayable = true;
  for (const FileCheck& file : files) allPlayable = allPlayable && file.playable;
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
  app->add_option("--view", args->viewText,
                  "how a program sees a 64-bit Wine prefix: 32 (the default) as a 32-bit "
                  "program, or 64")
      ->type_name("32|64")
      ->check(ViewValidator());
  TakesValue(app->add_option("--user", args->user,
                             "a Windows installation or disk image: the registry of this user"),
             "NAME");
  TakesValue(app->add_option("--partition", args->partition,
                             "a disk image: the Windows installation on partition N (1 is the "
                             "first)"),
             "N")
      ->check(PartitionValidator());
  app->add_flag("--json", args->json, "print one JSON document instead of lines");
  app->add_flag("--try", args->tryDecoders,
                "decode the first frames of each video stream and the first blocks of each "
                "audio stream with the machine's own decoders, each in a process of its own; "
                "on Linux inside the Wine prefix, under the Wine of the view (wine64, or the "
                "32-bit Wine named by $KORVANE_WINE32)");
  TakesValue(app->add_option("--try-timeout", args->timeoutText,
                             "stop a try that runs longer than S seconds (default 5) and "
                             "report a hang"),
             "S");
#ifdef _WIN32
  // The modes --try starts korvane-cli.exe in; not for people, so not in the help.
  app->add_option("--try-stream", args->tryStream)->group("");
  app->add_flag("--try-findings", args->tryFindings)->group("");
  app->add_option("--try-timeout-ms", args->timeoutMsGiven)->group("");
#endif
  app->add_option("FILE", args->files)->required();
  return {app, [args] { return RunCheck(*args); }};
}

}  // namespace korvane

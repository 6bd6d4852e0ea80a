// korvane check: each AVI file's decoders against a machine's drivers.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/commands.h"
#include "cli/default_machine.h"
#include "cli/try_streams.h"
#include "platform/offline/offline_system.h"

namespace korvane {
namespace {

const char kCheckUsage[] =
    "usage: korvane check [--machine DIR] [--view 32|64] [--json] [--try [--try-timeout S]]\n"
    "                     FILE...\n\n"
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
    "  --view 32|64   how a program sees a 64-bit Wine prefix: 32 (the default) as a\n"
    "                 32-bit program, or 64\n"
    "  --json         print one JSON document instead of lines\n"
    "  --try          decode the first frames of each video stream and the first blocks\n"
    "                 of each audio stream with the machine's own decoders, each in a\n"
    "                 process of its own; on Linux inside the Wine prefix, under the Wine\n"
    "                 of the view (wine64, or the 32-bit Wine named by $KORVANE_WINE32)\n"
    "  --try-timeout S  stop a try that runs longer than S seconds (default 5) and\n"
    "                 report a hang\n"
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
  std::optional<WineView> view;
  bool json = false;
  bool tryDecoders = false;
  std::optional<int> timeoutMs;
  // The modes of korvane-cli.exe that --try starts: one stream, or every file's findings.
  std::optional<size_t> tryStream;
  bool tryFindings = false;
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

#ifdef _WIN32
std::optional<size_t> ParseIndex(const std::string& text) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != text.npos) {
    return std::nullopt;
  }
  return static_cast<size_t>(std::strtoul(text.c_str(), nullptr, 10));
}
#endif

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
    } else if (!optionsDone && std::strcmp(arg, "--try") == 0) {
      args->tryDecoders = true;
    } else if (!optionsDone && std::strcmp(arg, "--view") == 0) {
      if (args->view) return UsageError("--view given twice");
      const std::string value = i + 1 < argc ? argv[++i] : "";
      if (value != "32" && value != "64") return UsageError("--view takes 32 or 64");
      args->view = value == "64" ? WineView::k64 : WineView::k32;
    } else if (!optionsDone && (std::strcmp(arg, "--try-timeout") == 0 ||
                                std::strcmp(arg, "--try-timeout-ms") == 0)) {
      if (args->timeoutMs) return UsageError("--try-timeout given twice");
      const bool ms = std::strcmp(arg, "--try-timeout-ms") == 0;
      const std::string value = i + 1 < argc ? argv[++i] : "";
      args->timeoutMs = ms ? ParseSeconds(value + "e-3") : ParseSeconds(value);
      if (!args->timeoutMs) {
        return UsageError("--try-timeout takes seconds above 0 and up to 600, not '" + value + "'");
      }
#ifdef _WIN32
    } else if (!optionsDone && std::strcmp(arg, "--try-stream") == 0) {
      args->tryStream = ParseIndex(i + 1 < argc ? argv[++i] : "");
      if (!args->tryStream) return UsageError("--try-stream takes a stream number");
    } else if (!optionsDone && std::strcmp(arg, "--try-findings") == 0) {
      args->tryFindings = true;
#endif
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
  if (args->timeoutMs && !args->tryDecoders && !args->tryFindings) {
    return UsageError("--try-timeout applies to --try");
  }
  if (args->tryStream && args->files.size() != 1) {
    return UsageError("--try-stream takes one FILE");
  }
  return std::nullopt;
}

// The machine to check against: the folder named (a Wine prefix seen through the view,
// or a described machine), else the machine at hand. *prefix is the Wine prefix's folder
// when the machine is one, for --try to run in.
std::unique_ptr<System> OpenMachine(const CheckArgs& args, std::string* prefix,
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
  std::unique_ptr<OfflineSystem> offline =
      OfflineSystem::Open(*folder, error, args.view.value_or(WineView::k32));
  if (offline && args.view && !offline->IsWinePrefix()) {
    *error = "--view applies to a Wine prefix; " + *folder + " is not one";
    return nullptr;
  }
  if (offline && offline->IsWinePrefix()) *prefix = *folder;
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
         " is a described machine, where nothing can run";
#endif
}

}  // namespace

int CheckCommand(int argc, char** argv) {
  CheckArgs args;
  if (const std::optional<int> done = ParseArgs(argc, argv, &args)) return *done;
  const int timeoutMs = args.timeoutMs.value_or(kDefaultTryTimeoutMs);
#ifdef _WIN32
  if (args.tryStream) return TryOneStreamMain(args.files.front(), *args.tryStream);
  if (args.tryFindings) return TryFindingsMain(args.files, timeoutMs);
#endif

  std::string error, prefix;
  std::unique_ptr<System> system = OpenMachine(args, &prefix, &error);
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

}  // namespace korvane

// korvane run: one diagnostic run, as the Go! button makes it, on a machine on disk or
// the live one.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_window.h"
#include "cli/commands.h"
#include "cli/default_machine.h"
#include "cli/explain.h"
#include "diag/diagnostics.h"
#include "platform/offline/machines/open_machine.h"

namespace korvane {
namespace {

const char kRunUsage[] =
    "usage: korvane run [--machine DIR] [--view 32|64] [--tests NAME[,NAME...]] [-o REPORT]\n"
    "                   [--explain]\n\n"
    "Runs the diagnostics once, as the Go! button does with the switches a program start\n"
    "sets, and prints the report, one line after another.\n\n"
    "  --machine DIR  examine the Windows installation in folder DIR: a Wine prefix\n"
    "                 (system.reg, drive_c/, dosdevices/), or a described machine (c/ is\n"
    "                 drive C:, registry.reg its registry as regedit exports it,\n"
    "                 machine.ini its other facts, optional); without it, the Windows\n"
    "                 program examines the machine it runs on, and on Linux the Wine\n"
    "                 prefix $WINEPREFIX, else ~/.wine\n"
    "  --view 32|64   how a program sees a 64-bit Wine prefix: 32 (the default) as a\n"
    "                 32-bit program does, through Wow6432Node and syswow64, where\n"
    "                 32-bit codecs live; 64 as a 64-bit program does\n"
    "  --tests LIST   run exactly these tests, comma-separated: systemIni, loadDll,\n"
    "                 captureDrivers, registryAviFile, registryUninstall, ntTests,\n"
    "                 msvcList, wellKnownDlls; 'none' runs none of them\n"
    "  -o REPORT      write the report to REPORT (CR LF after each line) instead of\n"
    "                 standard output\n"
    "  --explain      after each probe line that fails, an indented line with the reason\n"
    "  --help         show this text\n\n"
    "Exit status: 0 after a run (what it finds is not an error), 1 when the report could\n"
    "not be written in full, 2 for a usage error or a machine that cannot be read.\n";

struct TestSwitch {
  const char* name;
  uint32_t TestOptions::*field;
};

const TestSwitch kTestSwitches[] = {
    {"systemIni", &TestOptions::systemIni},
    {"loadDll", &TestOptions::loadDll},
    {"captureDrivers", &TestOptions::captureDrivers},
    {"registryAviFile", &TestOptions::registryAviFile},
    {"registryUninstall", &TestOptions::registryUninstall},
    {"ntTests", &TestOptions::ntTests},
    {"msvcList", &TestOptions::msvcList},
    {"wellKnownDlls", &TestOptions::wellKnownDlls},
};

struct RunArgs {
  std::string machine;
  std::optional<WineView> view;
  std::optional<std::string> tests;
  std::string reportPath;
  bool explain = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "korvane run: %s\n\n%s", message.c_str(), kRunUsage);
  return kExitUsage;
}

// Sets exactly the named switches; false with *error for a name that is not one.
bool ApplyTests(const std::string& list, TestOptions* options, std::string* error) {
  for (const TestSwitch& s : kTestSwitches) options->*s.field = 0;
  if (list == "none") return true;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    const std::string name = list.substr(start, end - start);
    bool known = false;
    for (const TestSwitch& s : kTestSwitches) {
      if (name == s.name) {
        options->*s.field = 1;
        known = true;
      }
    }
    if (!known) {
      *error = name.empty() ? "--tests has an empty name in its list"
                            : "unknown test '" + name + "' in --tests";
      return false;
    }
    start = end + 1;
  }
  return true;
}

// Reads the arguments; returns an exit status when the command ends here.
std::optional<int> ParseArgs(int argc, char** argv, RunArgs* args) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kRunUsage, stdout);
      return kExitOk;
    } else if (arg == "--explain") {
      args->explain = true;
    } else if (arg == "--view") {
      if (!hasValue) return UsageError("--view needs 32 or 64");
      if (args->view) return UsageError("--view given twice");
      const std::string value = argv[++i];
      if (value != "32" && value != "64")
        return UsageError("--view takes 32 or 64, not '" + value + "'");
      args->view = value == "64" ? WineView::k64 : WineView::k32;
    } else if (arg == "--machine" || arg == "--tests" || arg == "-o") {
      if (!hasValue || argv[i + 1][0] == '\0') return UsageError(arg + " needs a value");
      const std::string value = argv[++i];
      if (arg == "--machine") {
        if (!args->machine.empty()) return UsageError("--machine given twice");
        args->machine = value;
      } else if (arg == "--tests") {
        if (args->tests) return UsageError("--tests given twice");
        args->tests = value;
      } else {
        if (!args->reportPath.empty()) return UsageError("-o given twice");
        args->reportPath = value;
      }
    } else {
      return UsageError("unexpected argument '" + arg + "'");
    }
  }
  return std::nullopt;
}

// Runs the diagnostics into window; the run's lines pass through the explaining
// decorators when reasons are wanted.
void RunInto(System& system, ReportWindow& window, const TestOptions& options, bool explain,
             const ExplainingSystem::NotFoundReason& whyNotFound) {
  if (!explain) {
    SetMainWindow(&window);
    RunDiagnostics(system, window, options);
  } else {
    ExplainingSystem explaining(system, whyNotFound);
    ExplainingWindow explained(window, explaining);
    SetMainWindow(&explained);
    RunDiagnostics(explaining, explained, options);
  }
  SetMainWindow(nullptr);
}

int RunToReportFile(System& system, const RunArgs& args, const TestOptions& options,
                    const ExplainingSystem::NotFoundReason& whyNotFound) {
  CollectingWindow window;
  RunInto(system, window, options, args.explain, whyNotFound);
  SetMainWindow(&window);
  const SaveResult saved = SaveReport(window, args.reportPath, window.LineCount());
  SetMainWindow(nullptr);
  if (saved == SaveResult::kIncomplete) {
    std::fprintf(stderr, "korvane run: %s is incomplete: writing it failed\n",
                 args.reportPath.c_str());
  }
  return saved == SaveResult::kSaved ? kExitOk : kExitFindings;
}

int RunToStdout(System& system, const RunArgs& args, const TestOptions& options,
                const ExplainingSystem::NotFoundReason& whyNotFound) {
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  StreamWindow window(stdout);
  RunInto(system, window, options, args.explain, whyNotFound);
  const bool flushed = std::fflush(stdout) == 0 && !window.writeFailed();
  if (!flushed) std::fprintf(stderr, "korvane run: writing standard output failed\n");
  return flushed ? kExitOk : kExitFindings;
}

}  // namespace

int RunCommand(int argc, char** argv) {
  RunArgs args;
  if (const auto status = ParseArgs(argc, argv, &args)) return *status;

  std::string error;
  std::unique_ptr<System> system;
  ExplainingSystem::NotFoundReason whyNotFound;
  std::optional<std::string> folder;
  if (!args.machine.empty()) {
    folder = args.machine;
  } else {
#ifdef _WIN32
    if (args.view) return UsageError("--view applies to a Wine prefix named with --machine");
    system = OpenDefaultMachine(&error);
#else
    folder = DefaultWinePrefix(std::getenv("WINEPREFIX"), std::getenv("HOME"), &error);
#endif
  }
  if (folder) {
    std::unique_ptr<OfflineSystem> offline =
        OpenMachine(*folder, &error, MachineOptions{args.view.value_or(WineView::k32)});
    if (offline && args.view && !offline->IsWinePrefix()) {
      return UsageError("--view applies to a Wine prefix; " + *folder + " is not one");
    }
    if (offline) {
      for (const std::string& note : offline->notes()) {
        std::fprintf(stderr, "korvane run: %s\n", note.c_str());
      }
      OfflineSystem* machine = offline.get();
      whyNotFound = [machine](const std::string& pattern) { return machine->WhyNotFound(pattern); };
    }
    system = std::move(offline);
  }
  if (!system) {
    std::fprintf(stderr, "korvane run: %s\n", error.c_str());
    return kExitUsage;
  }

  TestOptions options = StartupTestOptions(*system);
  if (args.tests && !ApplyTests(*args.tests, &options, &error)) return UsageError(error);
  return args.reportPath.empty() ? RunToStdout(*system, args, options, whyNotFound)
                                 : RunToReportFile(*system, args, options, whyNotFound);
}

}  // namespace korvane

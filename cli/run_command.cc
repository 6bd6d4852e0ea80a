// korvane run: one diagnostic run, as the Go! button makes it, on a machine on disk or
// the live one.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_window.h"
#include "cli/commands.h"
#include "cli/explain.h"
#include "cli/machine_choice.h"
#include "cli/output_encoding.h"
#include "diag/diagnostics.h"

namespace korvane {
namespace {

const char kCommand[] = "korvane run";

const char kRunDescription[] =
    "Runs the diagnostics once on a Windows machine and prints the report.\n\n"
    "The run is the one the Go! button makes with the switches a program start sets;\n"
    "the report comes one line after another.\n";

const char kRunExitStatus[] =
    "Exit status: 0 after a run (what it finds is not an error), 1 when the report could\n"
    "not be written in full, 2 for a usage error or a machine that cannot be read.\n";

const MachineOptionHelp kMachineHelp = {
    "examine the Windows machine at PATH: a Wine prefix (system.reg, drive_c/, dosdevices/), a "
    "described machine (c/ is drive C:, registry.reg its registry as regedit exports it, "
    "machine.ini its other facts, optional), the root folder of a Windows installation (a "
    "mounted partition, a copy of drive C:), or a disk image (raw, VHD, VMDK; read-only, nothing "
    "mounted); without it, the Windows program examines the machine it runs on, and on Linux the "
    "Wine prefix $WINEPREFIX, else ~/.wine",
    "how a program sees a 64-bit Wine prefix: 32 (the default) as a 32-bit program does, "
    "through Wow6432Node and syswow64, where 32-bit codecs live; 64 as a 64-bit program does",
    "a Windows installation or disk image: read the registry of this user (without it: the only "
    "user, or the one whose registry was written last; standard error says which)",
    "a disk image: read the Windows installation on partition N (1 is the first; without it: "
    "the first partition holding Windows)",
};

struct RunArgs {
  std::shared_ptr<MachineChoice> machine = std::make_shared<MachineChoice>();
  std::optional<std::string> tests;
  std::string reportPath;
  bool explain = false;
};

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

// Why a --tests list names something that is not a test, or empty when it does not.
std::string TestsProblem(const std::string& list) {
  TestOptions scratch;
  std::string error;
  return ApplyTests(list, &scratch, &error) ? std::string() : error;
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
  StreamWindow window(stdout, StandardOutputUtf8From(static_cast<CodePage>(system.GetACP())));
  RunInto(system, window, options, args.explain, whyNotFound);
  const bool flushed = std::fflush(stdout) == 0 && !window.writeFailed();
  if (!flushed) std::fprintf(stderr, "korvane run: writing standard output failed\n");
  return flushed ? kExitOk : kExitFindings;
}

int RunOnce(const RunArgs& args) {
  OpenedMachine opened = OpenChosenMachine(*args.machine, kCommand);
  if (opened.report) {
    std::fprintf(stderr,
                 "%s: %s is a saved report, not a machine: run examines a machine itself; "
                 "to answer from the report, use korvane check --machine %s FILE...\n",
                 kCommand, args.machine->machine.c_str(), args.machine->machine.c_str());
    return kExitUsage;
  }
  if (!opened.system) return MachineNotOpened(opened, kCommand);
  System& system = *opened.system;
  ExplainingSystem::NotFoundReason whyNotFound;
  if (OfflineSystem* machine = opened.offline) {
    whyNotFound = [machine](const std::string& pattern) { return machine->WhyNotFound(pattern); };
  }

  TestOptions options = StartupTestOptions(system);
  std::string error;
  if (args.tests) ApplyTests(*args.tests, &options, &error);  // the list was checked when read
  return args.reportPath.empty() ? RunToStdout(system, args, options, whyNotFound)
                                 : RunToReportFile(system, args, options, whyNotFound);
}

}  // namespace

Command AddRunCommand(CLI::App& korvane) {
  auto args = std::make_shared<RunArgs>();
  CLI::App* app = korvane.add_subcommand("run", kRunDescription);
  app->footer(kRunExitStatus);
  AddMachineOptions(app, args->machine, kMachineHelp);
  TakesValue(app->add_option_function<std::string>(
                 "--tests", [args](const std::string& list) { args->tests = list; },
                 "run exactly these tests: systemIni, loadDll, captureDrivers, registryAviFile, "
                 "registryUninstall, ntTests, msvcList, wellKnownDlls; 'none' runs none of them"),
             "NAME[,NAME...]")
      ->check(CLI::Validator([](std::string& list) { return TestsProblem(list); }, std::string()));
  TakesValue(app->add_option("-o", args->reportPath,
                             "write the report to REPORT (CR LF after each line) instead of "
                             "standard output"),
             "REPORT");
  app->add_flag("--explain", args->explain,
                "after each probe line that fails, an indented line with the reason");
  return {app, [args] { return RunOnce(*args); }};
}

}  // namespace korvane

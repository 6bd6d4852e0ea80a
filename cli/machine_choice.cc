// One set of options that choose a machine, and one way to open the machine they choose.
#include "cli/machine_choice.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/default_machine.h"

namespace korvane {

void AddMachineOptions(CLI::App* app, const std::shared_ptr<MachineChoice>& choice,
                       const MachineOptionHelp& help) {
  TakesValue(app->add_option("--machine", choice->machine, help.machine), "PATH");
  app->add_option_function<std::string>(
         "--view",
         [choice](const std::string& value) {
           choice->view = value == "64" ? WineView::k64 : WineView::k32;
         },
         help.view)
      ->type_name("32|64")
      ->check(ViewValidator());
  TakesValue(app->add_option("--user", choice->user, help.user), "NAME");
  TakesValue(app->add_option("--partition", choice->partition, help.partition), "N")
      ->check(PartitionValidator());
}

namespace {

// Reports are a few hundred kilobytes at most; a larger file is something else.
constexpr std::uintmax_t kLargestReport = 16u << 20;

// The file at path when it begins as a saved report does; empty otherwise.
std::string SavedReportText(const std::string& path) {
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored) ||
      std::filesystem::file_size(path, ignored) > kLargestReport) {
    return std::string();
  }
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return LooksLikeSavedReport(text.str()) ? text.str() : std::string();
}

// A saved report named with --machine, read whole.
bool OpenSavedReport(const MachineChoice& choice, OpenedMachine* opened) {
  const std::string text = SavedReportText(choice.machine);
  if (text.empty()) return false;
  if (choice.view) {
    opened->error = "--view applies to a Wine prefix; " + choice.machine + " is a saved report";
    opened->usageMistake = true;
    return true;
  }
  SavedReport report;
  if (const auto error = ParseSavedReport(text, &report)) {
    opened->error = DescribeParseError(choice.machine, *error);
    return true;
  }
  opened->report = std::move(report);
  return true;
}

}  // namespace

OpenedMachine OpenChosenMachine(const MachineChoice& choice, const std::string& command) {
  OpenedMachine opened;
  if (!choice.machine.empty() && OpenSavedReport(choice, &opened)) return opened;
  const std::optional<std::string> folder =
      choice.machine.empty() ? MachineAtHand(choice, &opened) : choice.machine;
  if (!folder) return opened;
  MachineOptions options(choice.view.value_or(WineView::k32), choice.user);
  options.partition = choice.partition;
  std::unique_ptr<OfflineSystem> offline = OpenMachine(*folder, &opened.error, options);
  if (!offline) return opened;
  if (choice.view && !offline->ReadFromWinePrefix()) {
    opened.error = "--view applies to a Wine prefix; " + *folder + " is not one";
    opened.usageMistake = true;
    return opened;
  }
  if (offline->ReadFromWinePrefix()) opened.winePrefix = *folder;
  for (const std::string& note : offline->notes()) {
    std::fprintf(stderr, "%s: %s\n", command.c_str(), note.c_str());
  }
  opened.offline = offline.get();
  opened.system = std::move(offline);
  return opened;
}

int MachineNotOpened(const OpenedMachine& opened, const std::string& command) {
  if (opened.usageMistake) return UsageError(command, opened.error);
  std::fprintf(stderr, "%s: %s\n", command.c_str(), opened.error.c_str());
  return kExitUsage;
}

}  // namespace korvane

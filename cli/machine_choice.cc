// One set of options that choose a machine, and one way to open the machine they choose.
#include "cli/machine_choice.h"

#include <cstdio>

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

OpenedMachine OpenChosenMachine(const MachineChoice& choice, const std::string& command) {
  OpenedMachine opened;
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

}  // namespace korvane

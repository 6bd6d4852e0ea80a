// On Windows the machine at hand is the one the program runs on.
#include "cli/default_machine.h"
#include "platform/win32/live_system.h"

namespace korvane {

std::optional<std::string> MachineAtHand(const MachineChoice& choice, OpenedMachine* opened) {
  if (choice.view) {
    opened->error = "--view applies to a Wine prefix named with --machine";
    opened->usageMistake = true;
    return std::nullopt;
  }
  opened->system = MakeLiveSystem();
  return std::nullopt;
}

}  // namespace korvane

// The machine at hand, which a command examines when no --machine names one.
#pragma once

#include <optional>
#include <string>

#include "cli/machine_choice.h"

namespace korvane {

// On Windows the live system, set in opened->system (nullopt is returned); elsewhere the
// folder of the default Wine prefix (below), to be opened as --machine would open it.
// Failures are left in *opened.
std::optional<std::string> MachineAtHand(const MachineChoice& choice, OpenedMachine* opened);

// Away from Windows, the machine at hand is the Wine prefix that `wine` itself would use:
// $WINEPREFIX (winePrefix) when it is set, else ~/.wine (home is $HOME). nullopt with
// *error saying plainly what was looked for and how to name a machine when neither is
// a prefix. The arguments are the environment's values, null when unset.
std::optional<std::string> DefaultWinePrefix(const char* winePrefix, const char* home,
                                             std::string* error);

}  // namespace korvane

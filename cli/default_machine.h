// The machine that `korvane run` examines when no --machine folder is given.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/system.h"

namespace korvane {

// The live system on Windows; elsewhere the default Wine prefix (below), seen as a 32-bit
// program sees it. Null with *error saying what to give when there is none.
std::unique_ptr<System> OpenDefaultMachine(std::string* error);

// Away from Windows, the machine at hand is the Wine prefix that `wine` itself would use:
// $WINEPREFIX (winePrefix) when it is set, else ~/.wine (home is $HOME). nullopt with
// *error saying plainly what was looked for and how to name a machine when neither is
// a prefix. The arguments are the environment's values, null when unset.
std::optional<std::string> DefaultWinePrefix(const char* winePrefix, const char* home,
                                             std::string* error);

}  // namespace korvane

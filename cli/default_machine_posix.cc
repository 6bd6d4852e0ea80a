// Away from Windows the machine at hand is the user's Wine prefix, read from disk.
#include <cstdlib>

#include "cli/default_machine.h"
#include "platform/offline/machines/wine_prefix.h"
#include "platform/offline/open_machine.h"

namespace korvane {
namespace {

constexpr char kHowToName[] =
    "name one with --machine PATH (a Wine prefix, a described machine folder, a Windows "
    "installation folder or a disk image)";

}  // namespace

std::optional<std::string> DefaultWinePrefix(const char* winePrefix, const char* home,
                                             std::string* error) {
  if (winePrefix != nullptr && winePrefix[0] != '\0') {
    if (IsWinePrefix(winePrefix)) return std::string(winePrefix);
    // Wine would use $WINEPREFIX and no other, so ~/.wine is not tried behind it.
    *error = std::string("no machine found: $WINEPREFIX is ") + winePrefix +
             ", which is not a Wine prefix (no system.reg with a drive_c folder); " + kHowToName;
    return std::nullopt;
  }
  if (home != nullptr && home[0] != '\0') {
    std::string dotWine = home;
    if (dotWine.back() != '/') dotWine += '/';
    dotWine += ".wine";
    if (IsWinePrefix(dotWine)) return dotWine;
    *error = "no machine found: $WINEPREFIX is not set and " + dotWine + " is not a Wine prefix; " +
             kHowToName;
    return std::nullopt;
  }
  *error = std::string("no machine found: neither $WINEPREFIX nor $HOME is set; ") + kHowToName;
  return std::nullopt;
}

std::optional<std::string> MachineAtHand(const MachineChoice&, OpenedMachine* opened) {
  return DefaultWinePrefix(std::getenv("WINEPREFIX"), std::getenv("HOME"), &opened->error);
}

}  // namespace korvane

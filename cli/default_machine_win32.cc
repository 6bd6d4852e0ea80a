// On Windows the default machine is the one the program runs on.
#include "cli/default_machine.h"
#include "platform/win32/live_system.h"

namespace korvane {

std::unique_ptr<System> OpenDefaultMachine(std::string*) { return MakeLiveSystem(); }

}  // namespace korvane

// The machine that `korvane run` diagnoses when no --machine is given.
#pragma once

#include <memory>
#include <string>

#include "platform/system.h"

namespace korvane {

// The default machine of this build: the live Windows API on Windows. Null, with a reason
// in *error, when there is none.
std::unique_ptr<System> OpenDefaultMachine(std::string* error);

}  // namespace korvane

// The machine that `korvane run` examines when no --machine folder is given.
#pragma once

#include <memory>
#include <string>

#include "platform/system.h"

namespace korvane {

// The live system on Windows; elsewhere there is none, and *error says what to give.
std::unique_ptr<System> OpenDefaultMachine(std::string* error);

}  // namespace korvane

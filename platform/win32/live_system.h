// The live machine: System (platform/system.h) answered by the real Windows API.
#pragma once

#include <memory>

#include "platform/system.h"

namespace korvane {

// The machine this program runs on. Only built for Windows.
std::unique_ptr<System> MakeLiveSystem();

}  // namespace korvane

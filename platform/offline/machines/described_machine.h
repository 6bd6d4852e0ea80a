// A described machine: a folder whose c/ is drive C:, registry.reg its registry and
// machine.ini (optional) the facts its files do not carry.
#pragma once

#include <string>

#include "platform/offline/machines/machine.h"

namespace korvane {

// True when dir holds a folder c/ (any case) for drive C:.
bool IsDescribedMachine(const std::string& dir);

// Reads the described machine in dir into *machine; false with *error naming the file
// and line ("DIR/registry.reg:12: ...") when it cannot be read whole.
bool OpenDescribedMachine(const std::string& dir, const MachineOptions& options,
                          OfflineMachine* machine, std::string* error);

}  // namespace korvane

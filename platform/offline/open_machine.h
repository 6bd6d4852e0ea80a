// Opens a Windows machine on disk, whatever its kind, as a System.
#pragma once

#include <memory>
#include <string>

#include "platform/offline/machines/machine.h"
#include "platform/offline/offline_system.h"

namespace korvane {

// The kinds of machine --machine takes, in words, for a path that is none of them.
extern const char kMachineKinds[];

// Reads the machine at path: a Wine prefix, a described machine, a Windows installation's
// folder or a disk image (the last two where KORVANE_INSTALLATIONS is built), the first
// kind that recognises it (machines/ holds one file a kind). A machine that cannot be read whole is
// refused: nullptr, and *error names the file and line ("DIR/registry.reg:12: ...") or says why
// path is no machine.
std::unique_ptr<OfflineSystem> OpenMachine(const std::string& path, std::string* error,
                                           const MachineOptions& options = MachineOptions());

}  // namespace korvane

// A Windows installation on disk: PATH is the root of its system drive (a mounted
// partition or a copy of drive C:), read through its own registry files.
#pragma once

#include <memory>
#include <string>

#include "platform/offline/machines/machine.h"

namespace korvane {

// True when dir holds a Windows 95/98/ME or NT-family installation.
bool IsInstallation(const std::string& dir);

// Reads the installation whose drive root is dir into *machine; false with *error
// naming the file when one of its registry files cannot be read.
bool OpenInstallation(const std::string& dir, const MachineOptions& options,
                      OfflineMachine* machine, std::string* error);

// Reads the installation on drive C: of drive (a host folder, a file system in an image)
// into *machine; where ("IMAGE, partition 2: ") starts every error message.
bool OpenInstallationOn(std::unique_ptr<Drive> drive, const std::string& where,
                        const MachineOptions& options, OfflineMachine* machine, std::string* error);

}  // namespace korvane

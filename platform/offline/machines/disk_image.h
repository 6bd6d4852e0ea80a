// A disk image as a machine: the Windows installation on one of its partitions.
#pragma once

#include <string>

#include "platform/offline/machines/machine.h"

namespace korvane {

// True when path is a file (a raw, VHD or VMDK image; whether it reads is told on opening).
bool IsDiskImage(const std::string& path);

// Opens the image read-only and reads the Windows installation of the partition that
// options name (1-based), or else of the first partition that holds one. Every error
// names the image, and the partition where there is one.
bool OpenDiskImage(const std::string& path, const MachineOptions& options, OfflineMachine* machine,
                   std::string* error);

}  // namespace korvane

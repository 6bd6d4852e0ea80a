// A disk image as a machine: partitions found by The Sleuth Kit, Windows on one of them.
#include "platform/offline/machines/disk_image.h"

#include <filesystem>

#include "platform/offline/drives/image_reader.h"
#include "platform/offline/machines/installation.h"
#include "platform/offline/machines/installation_layout.h"

namespace korvane {

bool IsDiskImage(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

namespace {

std::string Where(const std::string& path, const ImagePartition& partition) {
  return partition.number == 0 ? path + ": "
                               : path + ", partition " + std::to_string(partition.number) + ": ";
}

}  // namespace

bool OpenDiskImage(const std::string& path, const MachineOptions& options, OfflineMachine* machine,
                   std::string* error) {
  auto partitions = OpenImagePartitions(path, error);
  if (!partitions) return false;
  if (partitions->empty()) {
    *error = path + ": its partition table lists no partition";
    return false;
  }
  std::string reasons;
  for (ImagePartition& partition : *partitions) {
    if (options.partition != 0 && partition.number != options.partition) continue;
    const std::string where = Where(path, partition);
    if (!partition.drive) {
      if (options.partition != 0) {
        *error = where + partition.whyNoFileSystem;
        return false;
      }
      reasons += (reasons.empty() ? "" : "; ") + where + partition.whyNoFileSystem;
      continue;
    }
    std::unique_ptr<DiskImageDrive> drive = std::move(partition.drive);
    if (!FindInstallation(*drive)) {
      if (options.partition != 0) {
        *error = where + "no Windows installation on it";
        return false;
      }
      reasons += (reasons.empty() ? "" : "; ") + where + "no Windows installation";
      continue;
    }
    DiskImageDrive* image = drive.get();
    if (partitions->size() > 1 && options.partition == 0) {
      machine->notes.push_back("Windows on partition " + std::to_string(partition.number) + " (" +
                               partition.description + ") of " + path +
                               " (--partition N to choose)");
    }
    if (!OpenInstallationOn(std::move(drive), where, options, machine, error)) return false;
    image->SetTimeZoneBias(machine->timeZoneBias);
    return true;
  }
  if (options.partition != 0) {
    *error = path + ": no partition " + std::to_string(options.partition) + " (it has " +
             std::to_string(partitions->size()) + ")";
    return false;
  }
  *error = reasons.empty() ? path + ": no Windows installation" : reasons;
  return false;
}

}  // namespace korvane

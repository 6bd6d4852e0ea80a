// The disk-image reader as the rest of korvane sees it, in plain C++ types: the reader
// itself (The Sleuth Kit and the forty libraries it pulls in) is a module of its own,
// loaded when an image is opened, so that no other command pays for loading it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/offline/drives/drive.h"

namespace korvane {

// Drive C: inside a disk image.
class DiskImageDrive : public Drive {
 public:
  // FAT stores local times: they are taken as the machine's, bias minutes from UTC
  // (UTC = local + bias). NTFS times are UTC already.
  virtual void SetTimeZoneBias(int32_t bias) = 0;
};

// A partition of a disk image, with drive C: on its file system when one can be read.
struct ImagePartition {
  int number = 0;           // 1-based among the allocated partitions; 0: the image is one
  std::string description;  // "DOS FAT32 (0x0c)", "NTFS / exFAT (0x07)", ...
  std::unique_ptr<DiskImageDrive> drive;  // null when no FAT or NTFS file system opened
  std::string whyNoFileSystem;
};

// Opens the image at path read-only (raw, VHD, VMDK; an image of a whole disk with an MBR
// or GPT partition table, or of one partition) and each of its partitions' file systems.
// nullopt with *error when the image itself cannot be read, or when the reader cannot be
// loaded ("PATH: reading disk images needs ...").
std::optional<std::vector<ImagePartition>> OpenImagePartitions(const std::string& path,
                                                               std::string* error);

// The one function the reader's module exports, under kImageReaderEntry: the partitions
// of the image into *partitions, or false with *error.
using ImageReaderEntry = bool (*)(const std::string& path, std::vector<ImagePartition>* partitions,
                                  std::string* error);
constexpr char kImageReaderEntry[] = "korvane_open_image_partitions";

}  // namespace korvane

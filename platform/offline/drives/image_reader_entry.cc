// The disk-image module's one exported function: korvane finds it by name after loading
// the module (image_reader_module.cc).
#include <type_traits>

#include "platform/offline/drives/image_reader.h"

extern "C" __attribute__((visibility("default"))) bool korvane_open_image_partitions(
    const std::string& path, std::vector<korvane::ImagePartition>* partitions, std::string* error) {
  auto opened = korvane::OpenImagePartitions(path, error);
  if (!opened) return false;
  *partitions = std::move(*opened);
  return true;
}

// The entry keeps the type korvane calls it through.
static_assert(
    std::is_same<decltype(&korvane_open_image_partitions), korvane::ImageReaderEntry>::value,
    "the module's entry and korvane's call disagree");

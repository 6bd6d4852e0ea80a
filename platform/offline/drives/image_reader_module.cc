// Disk images read through the reader's module, loaded with dlopen when the first image is
// opened: beside korvane in a build folder, or in its private library folder once
// installed (KORVANE_MODULE_DIR, relative to the folder korvane is in).
#include <dlfcn.h>
#include <unistd.h>

#include "platform/module_files.h"
#include "platform/offline/drives/image_reader.h"

namespace korvane {
namespace {

constexpr char kModuleFile[] = "korvane-disk-images.so";

struct LoadedReader {
  ImageReaderEntry entry = nullptr;
  std::string whyNot;
};

LoadedReader LoadReader() {
  const std::vector<std::string> candidates = ModuleCandidates(kModuleFile);
  for (const std::string& file : candidates) {
    if (access(file.c_str(), F_OK) != 0) continue;
    // Never closed: the drives it makes are used until the process ends.
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return {nullptr, LastLoaderError()};
    void* entry = dlsym(module, kImageReaderEntry);
    if (entry == nullptr) return {nullptr, LastLoaderError()};
    return {reinterpret_cast<ImageReaderEntry>(entry), ""};
  }
  return {nullptr, candidates.back() + " is missing"};
}

}  // namespace

std::optional<std::vector<ImagePartition>> OpenImagePartitions(const std::string& path,
                                                               std::string* error) {
  static const LoadedReader reader = LoadReader();
  if (reader.entry == nullptr) {
    *error = path + ": reading disk images needs " + kModuleFile + " and The Sleuth Kit (" +
             reader.whyNot + ")";
    return std::nullopt;
  }
  std::vector<ImagePartition> partitions;
  if (!reader.entry(path, &partitions, error)) return std::nullopt;
  return partitions;
}

}  // namespace korvane

#include "platform/module_files.h"

#include <dlfcn.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace korvane {

std::vector<std::string> ModuleCandidates(const std::string& fileName) {
  std::error_code ignored;
  const fs::path programDir = fs::read_symlink("/proc/self/exe", ignored).parent_path();
  return {(programDir / fileName).string(),
          (programDir / KORVANE_MODULE_DIR / fileName).lexically_normal().string()};
}

std::string LastLoaderError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown error";
}

}  // namespace korvane

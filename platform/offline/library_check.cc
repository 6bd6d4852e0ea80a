// The loader's checks, done on files: image kind, architecture, imports found.
#include "platform/offline/library_check.h"

#include "platform/memory_registry.h"
#include "platform/offline/formats/pe_image.h"

namespace korvane {
namespace {

// Real libraries stay far below this; a larger file is refused rather than read.
constexpr size_t kImageSizeLimit = size_t{256} << 20;
// Deeper chains of imports than this do not occur; the bound keeps the stack small.
constexpr int kImportDepthLimit = 64;

std::string FolderOf(const std::string& windowsPath) {
  const size_t slash = windowsPath.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : windowsPath.substr(0, slash);
}

}  // namespace

LibraryCheck::LibraryCheck(Drive& drive, std::vector<std::string> searchFolders, uint16_t machine)
    : drive_(drive), searchFolders_(std::move(searchFolders)), machine_(machine) {}

bool LibraryCheck::Loads(const std::string& windowsPath, std::string* whyNot) {
  folders_.clear();
  folders_.push_back(FolderOf(windowsPath));
  folders_.insert(folders_.end(), searchFolders_.begin(), searchFolders_.end());
  seen_.clear();
  std::string reason;
  const bool loads = Check(windowsPath, 0, &reason);
  if (!loads && whyNot != nullptr) *whyNot = reason;
  return loads;
}

bool LibraryCheck::Check(const std::string& windowsPath, int depth, std::string* whyNot) {
  const auto host = drive_.Resolve(windowsPath, whyNot);
  if (!host) return false;
  // A library already checked in this load is loaded or being loaded: import cycles
  // are legal and end here.
  if (!seen_.insert(AsciiLower(*host)).second) return true;
  const auto facts = drive_.Describe(*host, std::string());
  if (facts && (facts->attributes & kFileAttributeDirectory) != 0) {
    *whyNot = "a folder, not a library";
    return false;
  }
  std::string bytes;
  if (!drive_.Read(*host, kImageSizeLimit, &bytes)) {
    *whyNot = "cannot be read (or is larger than 256 MiB)";
    return false;
  }
  if (wineBuiltins_ && IsWineBuiltinDll(bytes)) return true;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto image = ParsePeImage(data, bytes.size(), whyNot);
  if (!image) return false;
  if (image->machine != machine_) {
    *whyNot = "built for " + MachineName(image->machine) + ", this machine runs " +
              MachineName(machine_) + " code";
    return false;
  }
  if ((image->characteristics & (kImageFileExecutable | kImageFileDll)) == 0) {
    *whyNot = "not marked as an executable image or a DLL";
    return false;
  }
  if (image->is64 != (machine_ == kMachineX8664)) {
    *whyNot = image->is64
                  ? "not a valid PE image: a 32-bit machine type with a 64-bit optional header"
                  : "not a valid PE image: a 64-bit machine type with a 32-bit optional header";
    return false;
  }
  return CheckImports(image->imports, depth, whyNot);
}

bool LibraryCheck::CheckImports(const std::vector<std::string>& imports, int depth,
                                std::string* whyNot) {
  for (const std::string& name : imports) {
    const std::string path = FindImport(name);
    if (path.empty()) {
      *whyNot = "imports " + name + ", which is not on this machine";
      return false;
    }
    if (depth + 1 >= kImportDepthLimit) {
      *whyNot = "its imports nest more than 64 libraries deep";
      return false;
    }
    std::string reason;
    if (!Check(path, depth + 1, &reason)) {
      *whyNot = "imports " + name + " (" + path + "), which does not load: " + reason;
      return false;
    }
  }
  return true;
}

std::string LibraryCheck::FindImport(const std::string& name) {
  if (name.find_first_of("\\/:") != std::string::npos) return std::string();
  for (const std::string& folder : folders_) {
    if (folder.empty()) continue;
    const std::string path = JoinWindowsPath(folder, name);
    std::string ignored;
    const auto host = drive_.Resolve(path, &ignored);
    if (!host) continue;
    const auto data = drive_.Describe(*host, name);
    if (data && (data->attributes & kFileAttributeDirectory) == 0) return path;
  }
  return std::string();
}

}  // namespace korvane

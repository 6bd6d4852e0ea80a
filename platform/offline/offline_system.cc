// The offline System: file searches, streams, library loads and registry calls answered
// from a machine read from disk.
#include "platform/offline/offline_system.h"

#include <cstdio>

namespace korvane {
namespace {

constexpr size_t kDescriptionLimit = 126;  // capacities of 127, the terminating zero included

class ListedSearch : public FileSearch {
 public:
  explicit ListedSearch(std::vector<FindData> matches) : matches_(std::move(matches)) {}
  const FindData& Current() const override { return matches_[index_]; }
  bool FindNextFileA() override {
    if (index_ + 1 >= matches_.size()) return false;
    ++index_;
    return true;
  }

 private:
  std::vector<FindData> matches_;
  size_t index_ = 0;
};

}  // namespace

OfflineSystem::OfflineSystem(std::unique_ptr<OfflineMachine> machine)
    : machine_(std::move(machine)),
      libraries_(*machine_->drive,
                 {machine_->facts.systemDirectory, machine_->facts.windowsDirectory},
                 machine_->facts.imageMachine) {
  if (machine_->winePrefix) libraries_.AcceptWineBuiltins();
}

bool OfflineSystem::GetVersionExA(OsVersion* version) {
  if (machine_->facts.versionQueryFails) return false;
  *version = machine_->facts.version;
  return true;
}

std::unique_ptr<FileSearch> OfflineSystem::FindFirstFileA(const std::string& pattern) {
  std::string why;
  std::vector<FindData> matches = machine_->drive->Find(pattern, &why);
  if (matches.empty()) return nullptr;
  return std::make_unique<ListedSearch>(std::move(matches));
}

std::FILE* OfflineSystem::OpenFileForReading(const std::string& windowsPath) {
  std::string why;
  const auto location = machine_->drive->Resolve(windowsPath, &why);
  if (!location) return nullptr;
  const auto facts = machine_->drive->Describe(*location, std::string());
  if (!facts || (facts->attributes & kFileAttributeDirectory) != 0) return nullptr;
  return machine_->drive->Open(*location);
}

std::string OfflineSystem::WhyNotFound(const std::string& pattern) {
  std::string why;
  return machine_->drive->Find(pattern, &why).empty() ? why : std::string();
}

LibraryHandle OfflineSystem::LoadLibraryA(const std::string& path, std::string* whyNot) {
  std::string full = path;
  if (path.find_first_of(":\\/") == std::string::npos) {
    // A bare name is searched for as Windows does, in the system and Windows directories.
    for (const std::string& folder :
         {machine_->facts.systemDirectory, machine_->facts.windowsDirectory}) {
      std::string ignored;
      if (machine_->drive->Resolve(JoinWindowsPath(folder, path), &ignored)) {
        full = JoinWindowsPath(folder, path);
        break;
      }
    }
  }
  std::string reason;
  if (!libraries_.Loads(full, &reason)) {
    if (whyNot != nullptr) *whyNot = reason;
    return 0;
  }
  const LibraryHandle handle = nextLibrary_;
  nextLibrary_ += 0x10000;
  loaded_.insert(handle);
  return handle;
}

void OfflineSystem::FreeLibrary(LibraryHandle library) { loaded_.erase(library); }

bool OfflineSystem::capGetDriverDescriptionA(unsigned index, std::string* name,
                                             std::string* version) {
  if (index >= machine_->facts.capture.size() || !machine_->facts.capture[index]) return false;
  *name = machine_->facts.capture[index]->name.substr(0, kDescriptionLimit);
  *version = machine_->facts.capture[index]->version.substr(0, kDescriptionLimit);
  return true;
}

std::optional<std::pair<RootKey, std::string>> OfflineSystem::Locate(
    RootKey root, const std::string& path) const {
  if (!machine_->registryView) return std::make_pair(root, path);
  return machine_->registryView->Resolve(root, path);
}

long OfflineSystem::RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access,
                                  RegKey* key) {
  const auto where = Locate(root, path);
  if (!where) return kErrorFileNotFound;
  return machine_->registry.RegOpenKeyExA(where->first, where->second, access, key);
}

// A new key goes where its nearest existing ancestor lives in this view.
long OfflineSystem::RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                                    RegKey* key) {
  // Split as the registry splits: a double-byte name's second byte may be a backslash.
  const std::vector<std::string> names = machine_->registry.leadBytes().SplitPath(path);
  const auto joined = [&names](size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to; ++i) text += (i == from ? "" : "\\") + names[i];
    return text;
  };
  for (size_t known = names.size() + 1; known-- > 0;) {
    if (const auto where = Locate(root, joined(0, known))) {
      const std::string& base = where->second;
      const std::string rest = joined(known, names.size());
      const std::string full = rest.empty() ? base : base.empty() ? rest : base + "\\" + rest;
      return machine_->registry.RegCreateKeyExA(where->first, full, access, key);
    }
  }
  return machine_->registry.RegCreateKeyExA(root, path, access, key);
}

}  // namespace korvane

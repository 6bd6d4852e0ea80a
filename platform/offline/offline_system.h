// The System of a Windows machine read from disk, whatever its kind.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/memory_registry.h"
#include "platform/offline/library_check.h"
#include "platform/offline/machines/machine.h"
#include "platform/registry_backed_system.h"
#include "platform/system.h"

namespace korvane {

// A Windows machine read from disk (see machines/), answering the questions of System.
// Nothing the logic does changes the disk: registry writes stay in memory.
class OfflineSystem : public RegistryBackedSystem {
 public:
  explicit OfflineSystem(std::unique_ptr<OfflineMachine> machine);

  // True when the machine was read from a Wine prefix (whose DLLs are Wine's own).
  bool ReadFromWinePrefix() const { return machine_->winePrefix; }
  const std::vector<std::string>& notes() const { return machine_->notes; }

  const MachineFacts& facts() const { return machine_->facts; }
  MemoryRegistry& registry() { return machine_->registry; }

  // Why FindFirstFileA finds nothing for a pattern, in plain words.
  std::string WhyNotFound(const std::string& pattern);
  // Libraries loaded and not yet freed.
  size_t LoadedLibraryCount() const { return loaded_.size(); }

  bool GetVersionExA(OsVersion* version) override;
  std::string GetWindowsDirectoryA() override { return machine_->facts.windowsDirectory; }
  std::string GetSystemDirectoryA() override { return machine_->facts.systemDirectory; }
  std::unique_ptr<FileSearch> FindFirstFileA(const std::string& pattern) override;
  std::FILE* OpenFileForReading(const std::string& windowsPath) override;
  LibraryHandle LoadLibraryA(const std::string& path, std::string* whyNot) override;
  void FreeLibrary(LibraryHandle library) override;
  uint32_t VideoForWindowsVersion() override { return machine_->facts.vfwVersion; }
  uint32_t GetACP() override { return static_cast<uint32_t>(machine_->facts.ansiCodePage); }
  bool capGetDriverDescriptionA(unsigned index, std::string* name, std::string* version) override;

  // Keys are opened and made where the machine's registry view puts them; the other
  // registry calls go to its registry as they are.
  long RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access, RegKey* key) override;
  long RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                       RegKey* key) override;

 protected:
  RegistryCalls& Registry() override { return machine_->registry; }

 private:
  // Where a key really lives: itself, or where the machine's registry view puts it.
  std::optional<std::pair<RootKey, std::string>> Locate(RootKey root,
                                                        const std::string& path) const;

  std::unique_ptr<OfflineMachine> machine_;
  LibraryCheck libraries_;
  std::set<LibraryHandle> loaded_;
  LibraryHandle nextLibrary_ = 0x10000000;
};

}  // namespace korvane

// A Windows installation described on disk, answering the questions of System.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/memory_registry.h"
#include "platform/offline/host_drive.h"
#include "platform/offline/library_check.h"
#include "platform/offline/machine_ini.h"
#include "platform/offline/pe_image.h"
#include "platform/offline/wine_prefix.h"
#include "platform/system.h"

namespace korvane {

// The facts of a machine after machine.ini and the derivations from its files.
struct MachineFacts {
  std::string windowsDirectory;
  std::string systemDirectory;
  OsVersion version;
  bool versionQueryFails = false;
  uint32_t vfwVersion = 0;
  std::array<std::optional<CaptureDriver>, 10> capture;
  uint16_t imageMachine = kMachineI386;  // the code its programs and libraries run
};

// A Windows installation on disk. A described machine: folder c/ is drive C:,
// registry.reg its registry, machine.ini (optional) the facts its files do not carry. A
// Wine prefix: its dosdevices/ drives, its system.reg and user.reg, seen as a 32-bit or
// a 64-bit program sees them. Nothing the logic does changes the folder: registry
// writes stay in memory.
class OfflineSystem : public System {
 public:
  // Reads the machine in folder dir, a Wine prefix when IsWinePrefix(dir), seen through
  // view (a described machine has one view only). A machine that cannot be read whole is
  // refused: nullptr, and *error names the file and line ("DIR/registry.reg:12: ...").
  // A Windows installation (dir is the root of its system drive) is read through its
  // registry files, with the registry of user (empty: the only or last-written one).
  static std::unique_ptr<OfflineSystem> Open(const std::string& dir, std::string* error,
                                             WineView view = WineView::k32,
                                             const std::string& user = std::string());

  bool IsWinePrefix() const { return wineView_.has_value(); }
  // What reading the machine chose on its own (which user, which partition), for the
  // user's eyes on standard error; never part of the report.
  const std::vector<std::string>& notes() const { return notes_; }

  const MachineFacts& facts() const { return facts_; }
  MemoryRegistry& registry() { return registry_; }

  // Why FindFirstFileA finds nothing for a pattern, in plain words.
  std::string WhyNotFound(const std::string& pattern);
  // Libraries loaded and not yet freed.
  size_t LoadedLibraryCount() const { return loaded_.size(); }

  bool GetVersionExA(OsVersion* version) override;
  std::string GetWindowsDirectoryA() override { return facts_.windowsDirectory; }
  std::string GetSystemDirectoryA() override { return facts_.systemDirectory; }
  std::unique_ptr<FileSearch> FindFirstFileA(const std::string& pattern) override;
  std::FILE* OpenFileForReading(const std::string& windowsPath) override;
  LibraryHandle LoadLibraryA(const std::string& path, std::string* whyNot) override;
  void FreeLibrary(LibraryHandle library) override;
  uint32_t VideoForWindowsVersion() override { return facts_.vfwVersion; }
  bool capGetDriverDescriptionA(unsigned index, std::string* name, std::string* version) override;

  long RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access, RegKey* key) override;
  long RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                       RegKey* key) override;
  long RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                     RegValue* value) override;
  long RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity, std::string* name) override;
  long RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                        RegValue* value) override;
  long RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override;
  long RegCloseKey(RegKey key) override;

 private:
  explicit OfflineSystem(std::map<char, std::string> drives);
  bool Load(const std::string& dir, std::string* error);
  bool LoadWinePrefix(const std::string& dir, WineView view, std::string* error);
  bool LoadInstallation(const std::string& dir, const std::string& user, std::string* error);
  void UseLibraryCheck();
  // Where a key really lives: itself, or on a Wine prefix where its view redirects it.
  std::optional<std::pair<RootKey, std::string>> Locate(RootKey root,
                                                        const std::string& path) const;
  void DeriveFacts(const MachineIni& ini);
  void DeriveVersion(const MachineIni& ini);
  void DeriveCaptureDrivers();
  std::optional<CaptureDriver> DescribeDriver(const std::string& file);

  MemoryRegistry registry_;
  std::optional<WineView> wineView_;
  std::vector<std::string> notes_;
  HostDrive drive_;
  MachineFacts facts_;
  std::unique_ptr<LibraryCheck> libraries_;
  std::set<LibraryHandle> loaded_;
  LibraryHandle nextLibrary_ = 0x10000000;
};

}  // namespace korvane

// What every kind of machine on disk hands the offline System: its drives, its registry
// and its facts. Each kind (described machine, Wine prefix, ...) is one file in this
// folder that fills an OfflineMachine; OpenMachine (open_machine.h) picks the kind.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory_registry.h"
#include "platform/offline/drives/drive.h"
#include "platform/offline/formats/machine_ini.h"
#include "platform/offline/formats/pe_image.h"
#include "platform/system.h"
#include "platform/text_encoding.h"

namespace korvane {

// The Video for Windows version a machine answers unless it says otherwise: what Wine's
// msvfw32 answers (wine64 8.0), and what a described machine without VfwVersion answers.
constexpr uint32_t kDefaultVfwVersion = 0x040003B6;

// Which program's eyes a machine is seen through. A 32-bit program on a 64-bit Wine
// prefix sees the registry through Wow6432Node and syswow64 as its system directory.
enum class WineView { k32, k64 };

// How a machine is to be opened.
struct MachineOptions {
  MachineOptions() = default;
  explicit MachineOptions(WineView v, std::string u = std::string())
      : view(v), user(std::move(u)) {}
  WineView view = WineView::k32;
  std::string user;   // whose registry a Windows installation is read with; empty: chosen
  int partition = 0;  // which partition of a disk image (1-based); 0: the first with Windows
};

// The facts of a machine after its own statements and the derivations from its files.
struct MachineFacts {
  std::string windowsDirectory;
  std::string systemDirectory;
  OsVersion version;
  bool versionQueryFails = false;
  uint32_t vfwVersion = 0;
  std::array<std::optional<CaptureDriver>, 10> capture;
  uint16_t imageMachine = kMachineI386;  // the code its programs and libraries run
  // The code page of its ANSI calls (its text, from UTF-16 or not, is in it) and the OEM
  // code page of its FAT short names.
  CodePage ansiCodePage = kDefaultAnsiCodePage;
  CodePage oemCodePage = kDefaultOemCodePage;
};

// Where a registry key really lives for the program looking, when that is not simply
// the path it names (Wine's 32-bit view passes through Wow6432Node).
class RegistryView {
 public:
  virtual ~RegistryView() = default;
  // The root and path the key lives at, or nullopt when it does not exist.
  virtual std::optional<std::pair<RootKey, std::string>> Resolve(RootKey root,
                                                                 const std::string& path) const = 0;
};

// One machine read from disk. Kept in one place and never moved: the registry view and
// the library check refer to its registry and its drive.
struct OfflineMachine {
  std::unique_ptr<Drive> drive;
  MemoryRegistry registry;
  std::unique_ptr<RegistryView> registryView;  // null: every key is where its path says
  MachineFacts facts;
  bool winePrefix = false;  // Wine's builtin and placeholder DLLs load
  // What opening the machine chose on its own (which user), for the user's eyes on
  // standard error; never part of the report.
  std::vector<std::string> notes;
  // Minutes between the machine's local time and UTC (UTC = local + bias), from its
  // registry: FAT stores local times, which a disk image's drive converts with it.
  int32_t timeZoneBias = 0;
};

// The code pages a machine's registry names: the ACP and OEMCP values of
// Control\Nls\CodePage in its current control set, each where it names one the host can
// convert, the defaults otherwise.
struct CodePages {
  CodePage ansi = kDefaultAnsiCodePage;
  CodePage oem = kDefaultOemCodePage;
};
CodePages RegistryCodePages(const MemoryRegistry& registry);

// The text of a string value up to its first zero byte; empty when there is none.
std::string RegistryText(const MemoryRegistry::Key* key, const std::string& name);

}  // namespace korvane

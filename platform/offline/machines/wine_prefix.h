// A Wine prefix (WINEPREFIX, ~/.wine) read from disk: its drives, its registry as a
// 32-bit or a 64-bit program sees it, its Windows facts and its placeholder DLLs.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/memory_registry.h"
#include "platform/offline/machines/machine.h"
#include "platform/system.h"

namespace korvane {

// True when dir looks like a Wine prefix: a system.reg file and a drive_c folder.
bool IsWinePrefix(const std::string& dir);

// Reads the Wine prefix in dir, seen through options.view, into *machine; false with
// *error naming the file and line when it cannot be read whole, or when a 64-bit view is
// asked of a 32-bit prefix.
bool OpenWinePrefix(const std::string& dir, const MachineOptions& options, OfflineMachine* machine,
                    std::string* error);

// Drive letters (upper case) to host folders, from the links in dosdevices/ ("c:" to
// "../drive_c", "z:" to "/"); links are resolved against dosdevices/ itself. Without a
// dosdevices folder, C: is drive_c. Entries that are not drives (com1, lpt1) and links
// to what is not a folder are left out.
std::map<char, std::string> ReadDosDevices(const std::string& prefixDir);

// The registry of a prefix: system.reg as HKEY_LOCAL_MACHINE, user.reg as
// HKEY_CURRENT_USER (userdef.reg, the template of new users, when there is no user.reg),
// and HKEY_CLASSES_ROOT showing HKLM\Software\Classes. *is64 tells whether system.reg
// says #arch=win64. Text is narrowed to the ANSI code page that system.reg names, which
// *pages (when given) receives with the OEM one. False with *error naming the file and
// line when a file cannot be read.
bool LoadWineRegistry(const std::string& prefixDir, MemoryRegistry* registry, bool* is64,
                      std::string* error, CodePages* pages = nullptr);

// Where a registry path really lives for a view, as Wine's registry server resolves it:
// for the 32-bit view, every key with a Wow6432Node subkey is passed through that subkey
// (HKLM\Software becomes HKLM\Software\Wow6432Node), and a name missing below
// HKLM\Software\Classes\Wow6432Node is looked for in HKLM\Software\Classes, which the
// two views share. Keys that are links (a SymbolicLinkValue of type 6 naming
// \Registry\Machine\...) are followed in both views. HKCR paths come back below HKLM.
// nullopt when the key does not exist.
class WineRegistryView : public RegistryView {
 public:
  WineRegistryView(const MemoryRegistry& registry, WineView view)
      : registry_(registry), view_(view) {}

  std::optional<std::pair<RootKey, std::string>> Resolve(RootKey root,
                                                         const std::string& path) const override;

 private:
  bool Exists(RootKey root, const std::string& path) const;
  std::string PassWow64(RootKey root, const std::string& path, const std::string& next) const;
  std::optional<std::string> FollowLinks(RootKey root, const std::string& path) const;

  const MemoryRegistry& registry_;
  WineView view_;
};

// The facts a prefix gives a program: Wine's Windows and system directories and the
// version record, which Wine answers from the version named by HKCU\Software\Wine
// AppDefaults\korvane.exe "Version", else HKCU\Software\Wine "Version" (win98, nt40, ...),
// else from HKLM\Software\Microsoft\Windows NT\CurrentVersion.
struct WinePrefixFacts {
  std::string windowsDirectory;  // C:\windows
  std::string systemDirectory;   // C:\windows\system32, or syswow64 for a 32-bit program
                                 // on a 64-bit prefix
  OsVersion version;
  uint32_t vfwVersion = 0;  // what Wine's msvfw32 answers, whatever the prefix holds
};
WinePrefixFacts DeriveWinePrefixFacts(const MemoryRegistry& registry, bool prefixIs64,
                                      WineView view);

}  // namespace korvane

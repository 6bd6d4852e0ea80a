// Windows installations on disk: a system drive's root folder (a mounted partition or a
// copy of drive C:) holding Windows 95/98/ME or an NT-family Windows, read as it lies.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/memory_registry.h"

namespace korvane {

// Where an installation's parts lie, found from its drive's root folder.
struct InstallationLayout {
  bool nt = false;
  std::string windowsFolder;  // host path of the Windows directory
  std::string windowsName;    // its name as on the disk ("WINDOWS", "WINNT")
  std::string systemName;     // the system directory's name as on the disk, or "SYSTEM"
};

// The layout of the installation whose drive root is root, or nullopt when root holds
// none: 9x when MSDOS.SYS names WinDir or a top folder holds SYSTEM.DAT and WIN.COM; NT
// when a top folder holds System32\config\SOFTWARE.
std::optional<InstallationLayout> FindInstallation(const std::string& root);

// What loading the registry decided, for the machine's facts and the user's eyes.
struct InstallationFacts {
  std::string windowsDirectory;  // "C:\WINDOWS"
  std::string systemDirectory;
  std::vector<std::string> notes;  // said on standard error, never in the report
};

// Loads the installation's registry files into registry: on 9x SYSTEM.DAT as
// HKEY_LOCAL_MACHINE and the user's USER.DAT (or the .DEFAULT key of the shared one) as
// HKEY_CURRENT_USER; on NT the SOFTWARE and SYSTEM hives below HKEY_LOCAL_MACHINE,
// CurrentControlSet as the control set that Select\Current names, and the user's
// NTUSER.DAT as HKEY_CURRENT_USER. user picks the profile; empty: the only one, else
// the one whose registry file was written last. On failure *error names the file.
std::optional<InstallationFacts> LoadInstallation(const std::string& root,
                                                  const InstallationLayout& layout,
                                                  const std::string& user,
                                                  MemoryRegistry* registry, std::string* error);

}  // namespace korvane

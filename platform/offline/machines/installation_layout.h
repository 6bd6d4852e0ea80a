// Windows installations on a drive (a host folder or a file system in a disk image):
// where their parts lie, and their registry files loaded into a MemoryRegistry.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/memory_registry.h"
#include "platform/offline/drives/drive.h"
#include "platform/offline/machines/machine.h"

namespace korvane {

// Where an installation's parts lie on drive C:.
struct InstallationLayout {
  bool nt = false;
  std::string windowsName;  // the Windows directory's name as on the disk ("WINDOWS")
  std::string systemName;   // the system directory's name as on the disk, or "SYSTEM" on 9x
};

// The layout of the installation on drive C: of drive, or nullopt when it holds none: 9x
// when MSDOS.SYS names WinDir or a top folder holds SYSTEM.DAT and WIN.COM; NT when a
// top folder holds System32\config\SOFTWARE.
std::optional<InstallationLayout> FindInstallation(Drive& drive);

// What loading the registry decided, for the machine's facts and the user's eyes.
struct InstallationFacts {
  std::string windowsDirectory;  // "C:\WINDOWS"
  std::string systemDirectory;
  std::vector<std::string> notes;  // said on standard error, never in the report
  int32_t timeZoneBias = 0;        // minutes: UTC = local time + bias
  CodePages codePages;             // what its registry names; NT hives' text is narrowed to it
};

// Loads the installation's registry files into registry: on 9x SYSTEM.DAT as
// HKEY_LOCAL_MACHINE and the user's USER.DAT (or the .DEFAULT key of the shared one) as
// HKEY_CURRENT_USER; on NT the SOFTWARE and SYSTEM hives below HKEY_LOCAL_MACHINE,
// CurrentControlSet as the control set that Select\Current names, and the user's
// NTUSER.DAT as HKEY_CURRENT_USER; on Windows 2000 and later the user's UsrClass.dat,
// when the profile has one, as HKCU\Software\Classes, laid over the machine's classes
// in HKEY_CLASSES_ROOT (else HKCR is HKLM\Software\Classes). user picks the profile; empty: the
// only one, else the one whose registry file was written last. On failure *error names the file by
// its location on the drive, after where (the image and partition, or nothing).
std::optional<InstallationFacts> LoadInstallation(Drive& drive, const InstallationLayout& layout,
                                                  const std::string& user, const std::string& where,
                                                  MemoryRegistry* registry, std::string* error);

}  // namespace korvane

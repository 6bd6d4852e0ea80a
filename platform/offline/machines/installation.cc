// A Windows installation on disk: drive C: is its root folder, the registry its own files.
#include "platform/offline/machines/installation.h"

#include <filesystem>
#include <map>

#include "platform/offline/drives/host_drive.h"
#include "platform/offline/machines/installation_layout.h"
#include "platform/offline/machines/machine_facts.h"

namespace korvane {

bool IsInstallation(const std::string& dir) {
  std::error_code ignored;
  if (!std::filesystem::is_directory(dir, ignored)) return false;
  HostDrive drive(std::map<char, std::string>{{'C', dir}});
  return FindInstallation(drive).has_value();
}

bool OpenInstallationOn(std::unique_ptr<Drive> drive, const std::string& where,
                        const MachineOptions& options, OfflineMachine* machine,
                        std::string* error) {
  const auto layout = FindInstallation(*drive);
  if (!layout) {
    *error = where + "no Windows installation found";
    return false;
  }
  const auto found =
      LoadInstallation(*drive, *layout, options.user, where, &machine->registry, error);
  if (!found) return false;
  machine->drive = std::move(drive);
  machine->notes.insert(machine->notes.end(), found->notes.begin(), found->notes.end());
  machine->timeZoneBias = found->timeZoneBias;
  machine->facts.ansiCodePage = found->codePages.ansi;
  machine->registry.SetCodePage(found->codePages.ansi);
  machine->facts.oemCodePage = found->codePages.oem;
  machine->drive->SetCodePages({found->codePages.ansi, found->codePages.oem});
  // Only where the Windows directory lies is the disk's to say; the rest comes from the
  // registry and the files, as for a described machine without machine.ini.
  MachineIni ini;
  ini.platform = layout->nt ? kPlatformWinNt : kPlatformWin9x;
  ini.windowsDirectory = found->windowsDirectory;
  ini.systemDirectory = found->systemDirectory;
  DeriveMachineFacts(ini, machine);
  return true;
}

bool OpenInstallation(const std::string& dir, const MachineOptions& options,
                      OfflineMachine* machine, std::string* error) {
  return OpenInstallationOn(std::make_unique<HostDrive>(std::map<char, std::string>{{'C', dir}}),
                            std::string(), options, machine, error);
}

}  // namespace korvane

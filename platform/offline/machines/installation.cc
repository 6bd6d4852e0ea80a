// A Windows installation on disk: drive C: is its root folder, the registry its own files.
#include "platform/offline/machines/installation.h"

#include <map>

#include "platform/offline/host_drive.h"
#include "platform/offline/machines/described_machine.h"
#include "platform/offline/machines/installation_layout.h"

namespace korvane {

bool IsInstallation(const std::string& dir) { return FindInstallation(dir).has_value(); }

bool OpenInstallation(const std::string& dir, const MachineOptions& options,
                      OfflineMachine* machine, std::string* error) {
  const auto layout = FindInstallation(dir);
  if (!layout) return false;
  machine->drive = std::make_unique<HostDrive>(std::map<char, std::string>{{'C', dir}});
  const auto found = LoadInstallation(dir, *layout, options.user, &machine->registry, error);
  if (!found) return false;
  machine->notes = found->notes;
  // Only where the Windows directory lies is the disk's to say; the rest comes from the
  // registry and the files, as for a described machine without machine.ini.
  MachineIni ini;
  ini.platform = layout->nt ? kPlatformWinNt : kPlatformWin9x;
  ini.windowsDirectory = found->windowsDirectory;
  ini.systemDirectory = found->systemDirectory;
  DeriveMachineFacts(ini, machine);
  return true;
}

}  // namespace korvane

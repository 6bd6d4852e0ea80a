// The kinds of machine on disk, tried in turn.
#include "platform/offline/open_machine.h"

#include <filesystem>

#include "platform/offline/machines/described_machine.h"
#ifdef KORVANE_INSTALLATIONS
#include "platform/offline/machines/disk_image.h"
#include "platform/offline/machines/installation.h"
#endif
#include "platform/offline/machines/wine_prefix.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

struct MachineKind {
  bool (*recognizes)(const std::string& path);
  bool (*open)(const std::string& path, const MachineOptions& options, OfflineMachine* machine,
               std::string* error);
  const char* lacking;  // what a path that is not of this kind lacks
};

// In the order they are tried: a Wine prefix first, since one may hold a folder c/ of its
// own. A new kind of machine is one more file in machines/ and one more line here.
constexpr MachineKind kKinds[] = {
    {IsWinePrefix, OpenWinePrefix, "a Wine prefix (it has no system.reg with a drive_c/ folder)"},
    {IsDescribedMachine, OpenDescribedMachine,
     "a described machine (it has no folder c/ for drive C:)"},
#ifdef KORVANE_INSTALLATIONS
    {IsInstallation, OpenInstallation,
     "a Windows installation (no folder with SYSTEM.DAT and WIN.COM, nor one with "
     "System32\\config\\SOFTWARE)"},
    {IsDiskImage, OpenDiskImage, "a disk image (it is a folder)"},
#endif
};

// "DIR: not a described machine (...) nor a Wine prefix (...)": the plainest kind first.
std::string NoKindFits(const std::string& path) {
  std::string text = path + ": not ";
  const size_t count = sizeof kKinds / sizeof kKinds[0];
  for (size_t i = count; i-- > 0;) {
    text += kKinds[i].lacking;
    if (i > 0) text += i == 1 ? " nor " : ", ";
  }
  return text;
}

}  // namespace

std::unique_ptr<OfflineSystem> OpenMachine(const std::string& path, std::string* error,
                                           const MachineOptions& options) {
  for (const MachineKind& kind : kKinds) {
    if (!kind.recognizes(path)) continue;
    auto machine = std::make_unique<OfflineMachine>();
    if (!kind.open(path, options, machine.get(), error)) return nullptr;
    return std::make_unique<OfflineSystem>(std::move(machine));
  }
  std::error_code ignored;
  *error = fs::is_directory(path, ignored) ? NoKindFits(path) : path + ": no such folder";
  return nullptr;
}

}  // namespace korvane

// The kinds of machine on disk, tried in turn.
#include "platform/offline/open_machine.h"

#include <filesystem>
#include <fstream>

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

// A file of a sector or more whose head is all text (no disk image starts so): a note, a
// list. A smaller file is told by the disk image's own reason (less than one sector).
bool IsTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char head[4096];
  file.read(head, sizeof head);
  const std::streamsize count = file.gcount();
  if (count < 512) return false;
  for (std::streamsize i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(head[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return true;
}

}  // namespace

const char kMachineKinds[] =
    "a Wine prefix, a described machine, a Windows installation's root folder, a disk image "
    "(raw, VHD or VMDK) or, for korvane check, a report saved by korvane";

std::unique_ptr<OfflineSystem> OpenMachine(const std::string& path, std::string* error,
                                           const MachineOptions& options) {
  std::error_code ignored;
  if (fs::is_regular_file(path, ignored) && IsTextFile(path)) {
    *error = path + ": a text file, not a machine korvane can read; it reads " + kMachineKinds;
    return nullptr;
  }
  for (const MachineKind& kind : kKinds) {
    if (!kind.recognizes(path)) continue;
    auto machine = std::make_unique<OfflineMachine>();
    if (!kind.open(path, options, machine.get(), error)) return nullptr;
    return std::make_unique<OfflineSystem>(std::move(machine));
  }
  *error = fs::is_directory(path, ignored) ? NoKindFits(path) : path + ": no such folder";
  return nullptr;
}

}  // namespace korvane

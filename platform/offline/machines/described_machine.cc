// The described machine: loading its files.
#include "platform/offline/machines/described_machine.h"

#include <filesystem>

#include "platform/ascii.h"
#include "platform/offline/drives/host_drive.h"
#include "platform/offline/formats/parse_error.h"
#include "platform/offline/formats/reg_file.h"
#include "platform/offline/machines/machine_facts.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

std::optional<std::string> FindFolderIgnoringCase(const std::string& dir, const std::string& name) {
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    try {
      if (EqualsIgnoringCase(it->path().filename().string(), name) && it->is_directory(error)) {
        return it->path().string();
      }
    } catch (const std::exception&) {
      // A name the 8-bit code page cannot spell is not the folder sought.
    }
  }
  return std::nullopt;
}

// Reads a text file of the machine folder and parses it; false with *error when either fails.
template <typename Parse>
bool ParseMachineFile(const std::string& path, const std::string& unreadable, Parse parse,
                      std::string* error) {
  std::string bytes;
  if (!ReadHostFile(path, kTextFileLimit, &bytes)) {
    *error = path + unreadable;
    return false;
  }
  if (const auto parseError = parse(bytes)) {
    *error = DescribeParseError(path, *parseError);
    return false;
  }
  return true;
}

}  // namespace

bool IsDescribedMachine(const std::string& dir) {
  return FindFolderIgnoringCase(dir, "c").has_value();
}

bool OpenDescribedMachine(const std::string& dir, const MachineOptions& /*options*/,
                          OfflineMachine* machine, std::string* error) {
  const auto drive = FindFolderIgnoringCase(dir, "c");
  if (!drive) return false;
  machine->drive = std::make_unique<HostDrive>(std::map<char, std::string>{{'C', *drive}});
  const std::string regPath = (fs::path(dir) / "registry.reg").string();
  const auto readRegistry = [&](CodePage page) {
    machine->registry = MemoryRegistry();
    return ParseMachineFile(
        regPath,
        ": cannot be read (every described machine has one; it may hold only the line "
        "REGEDIT4)",
        [&](const std::string& bytes) { return ParseRegFile(bytes, &machine->registry, page); },
        error);
  };
  // machine.ini is read first for the code page it may name: in a double-byte one a
  // character's second byte may be a backslash, so REGEDIT4 text is read in no other.
  // A fault in the registry is still told before one in machine.ini.
  MachineIni ini;
  std::string iniError;
  const std::string iniPath = (fs::path(dir) / "machine.ini").string();
  std::error_code ignored;
  const bool iniRead =
      !fs::exists(iniPath, ignored) ||
      ParseMachineFile(
          iniPath, ": cannot be read",
          [&ini](const std::string& bytes) { return ParseMachineIni(bytes, &ini); }, &iniError);
  const CodePage first =
      iniRead ? ini.ansiCodePage.value_or(kDefaultAnsiCodePage) : kDefaultAnsiCodePage;
  if (!readRegistry(first)) return false;
  if (!iniRead) {
    *error = iniError;
    return false;
  }
  // The registry's text is in the code page machine.ini names, else in the one the
  // registry itself names; a version 5 export's UTF-16 text is narrowed to it once known.
  const CodePages named = RegistryCodePages(machine->registry);
  machine->facts.ansiCodePage = ini.ansiCodePage.value_or(named.ansi);
  machine->facts.oemCodePage = ini.oemCodePage.value_or(named.oem);
  if (machine->facts.ansiCodePage != first && !readRegistry(machine->facts.ansiCodePage)) {
    return false;
  }
  machine->drive->SetCodePages({machine->facts.ansiCodePage, machine->facts.oemCodePage});
  DeriveMachineFacts(ini, machine);
  return true;
}

}  // namespace korvane

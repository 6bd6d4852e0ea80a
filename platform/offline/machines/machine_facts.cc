// The facts of a machine derived from its registry and its files, as Windows derives them.
#include "platform/offline/machines/machine_facts.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/offline/formats/ini_section.h"
#include "platform/offline/formats/version_resource.h"

namespace korvane {
namespace {

constexpr char kNtCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kWindowsCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The leading decimal numbers of a text such as "4.10.2222" or "5.0", as atoi reads them.
std::vector<uint32_t> DottedNumbers(const std::string& text) {
  std::vector<uint32_t> numbers;
  size_t pos = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    uint64_t n = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
      n = n * 10 + static_cast<uint64_t>(text[pos] - '0');
      if (n > 0xFFFFFFFFu) n = 0xFFFFFFFFu;
    }
    numbers.push_back(static_cast<uint32_t>(n));
    if (pos < text.size() && text[pos] == '.') ++pos;
  }
  return numbers;
}

uint32_t NumberAt(const std::vector<uint32_t>& numbers, size_t index) {
  return index < numbers.size() ? numbers[index] : 0;
}

// The index of a capture driver entry name: "msvideo" is 0, "msvideo1" to "msvideo9" 1 to 9.
std::optional<size_t> CaptureIndex(const std::string& entryName) {
  const std::string lower = AsciiLower(entryName);
  if (lower == "msvideo") return 0;
  if (lower.size() == 8 && lower.compare(0, 7, "msvideo") == 0 && lower[7] >= '1' &&
      lower[7] <= '9') {
    return static_cast<size_t>(lower[7] - '0');
  }
  return std::nullopt;
}

// As Windows derives its version record: NT from its CurrentVersion key, the 9x family
// from VersionNumber, with the major and minor version in the build number's high word.
void DeriveVersion(const MemoryRegistry& registry, const MachineIni& ini, OsVersion* version) {
  OsVersion& v = *version;
  if (v.platformId == kPlatformWinNt) {
    const auto* key = registry.FindKey(RootKey::kLocalMachine, kNtCurrentVersion);
    const auto numbers = DottedNumbers(RegistryText(key, "CurrentVersion"));
    std::string build = RegistryText(key, "CurrentBuildNumber");
    if (build.empty()) build = RegistryText(key, "CurrentBuild");
    v.major = NumberAt(numbers, 0);
    v.minor = NumberAt(numbers, 1);
    v.build = NumberAt(DottedNumbers(build), 0);
    v.servicePack = RegistryText(key, "CSDVersion");
  } else if (v.platformId == kPlatformWin9x) {
    const auto* key = registry.FindKey(RootKey::kLocalMachine, kWindowsCurrentVersion);
    const auto numbers = DottedNumbers(RegistryText(key, "VersionNumber"));
    v.major = NumberAt(numbers, 0);
    v.minor = NumberAt(numbers, 1);
    v.build = (v.major & 0xFF) << 24 | (v.minor & 0xFF) << 16 | (NumberAt(numbers, 2) & 0xFFFF);
    v.servicePack = RegistryText(key, "SubVersionNumber");
  } else {
    v.major = 3;  // Win32s runs on Windows 3.1
    v.minor = 10;
  }
  v.major = ini.major.value_or(v.major);
  v.minor = ini.minor.value_or(v.minor);
  v.build = ini.build.value_or(v.build);
  v.servicePack = ini.servicePack.value_or(v.servicePack).substr(0, 127);
}

// The family a registry belongs to. Windows 98 and ME have the NT key too (it holds their
// Drivers32 and drivers.desc), so what only each family writes decides: NT's version
// values in that key, 9x's VersionNumber. A registry with neither is NT when it has the
// key at all.
bool RegistryIsNt(const MemoryRegistry& registry) {
  const auto has = [&registry](const char* key, const char* value) {
    const auto* found = registry.FindKey(RootKey::kLocalMachine, key);
    return found != nullptr && MemoryRegistry::FindValue(found, value) != nullptr;
  };
  if (has(kNtCurrentVersion, "CurrentVersion") || has(kNtCurrentVersion, "CurrentBuildNumber")) {
    return true;
  }
  return registry.FindKey(RootKey::kLocalMachine, kNtCurrentVersion) != nullptr &&
         !has(kWindowsCurrentVersion, "VersionNumber");
}

// A driver is named by its version resource; a file without one by its own name.
std::optional<CaptureDriver> DescribeDriver(OfflineMachine& machine, const std::string& file) {
  CaptureDriver driver{file, std::string()};
  const std::string path = file.find_first_of(":\\") != std::string::npos
                               ? file
                               : JoinWindowsPath(machine.facts.systemDirectory, file);
  std::string why, bytes;
  const auto location = machine.drive->Resolve(path, &why);
  if (!location || !machine.drive->Read(*location, kTextFileLimit, &bytes)) return driver;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto image = ParsePeImage(data, bytes.size(), &why);
  if (!image) return driver;
  const auto strings =
      ReadVersionStrings(PeView{data, bytes.size(), &*image}, machine.facts.ansiCodePage);
  if (!strings) return driver;
  if (!strings->fileDescription.empty()) driver.name = strings->fileDescription;
  driver.version = strings->fileVersion;
  return driver;
}

// Capture drivers as the capture library finds them: NT lists them as MSVideo values of
// the registry's drivers32 key, the 9x family as msvideo entries of system.ini [drivers].
void DeriveCaptureDrivers(OfflineMachine& machine) {
  MachineFacts& facts = machine.facts;
  std::vector<IniEntry> entries;
  if (facts.version.platformId == kPlatformWinNt) {
    const auto* key = machine.registry.FindKey(RootKey::kLocalMachine,
                                               std::string(kNtCurrentVersion) + "\\drivers32");
    if (key != nullptr) {
      for (const auto& value : key->values)
        entries.push_back({value.name, RegistryText(key, value.name)});
    }
  } else {
    std::string why, text;
    const auto ini =
        machine.drive->Resolve(JoinWindowsPath(facts.windowsDirectory, "system.ini"), &why);
    if (ini && machine.drive->Read(*ini, kTextFileLimit, &text)) {
      entries = ReadIniSection(text, "drivers");
    }
  }
  for (const IniEntry& entry : entries) {
    const auto index = CaptureIndex(entry.key);
    if (!index || facts.capture[*index] || entry.value.empty()) continue;
    facts.capture[*index] = DescribeDriver(machine, entry.value);
  }
}

}  // namespace

void DeriveMachineFacts(const MachineIni& ini, OfflineMachine* machine) {
  MachineFacts& facts = machine->facts;
  const bool nt = RegistryIsNt(machine->registry);
  facts.version.platformId = ini.platform.value_or(nt ? kPlatformWinNt : kPlatformWin9x);
  facts.windowsDirectory = ini.windowsDirectory.value_or("C:\\WINDOWS");
  facts.systemDirectory = ini.systemDirectory.value_or(JoinWindowsPath(
      facts.windowsDirectory, facts.version.platformId == kPlatformWinNt ? "SYSTEM32" : "SYSTEM"));
  facts.versionQueryFails = ini.versionQueryFails;
  facts.vfwVersion = ini.vfwVersion.value_or(kDefaultVfwVersion);
  DeriveVersion(machine->registry, ini, &facts.version);
  if (ini.captureGiven) {
    facts.capture = ini.capture;
  } else {
    DeriveCaptureDrivers(*machine);
  }
}

}  // namespace korvane

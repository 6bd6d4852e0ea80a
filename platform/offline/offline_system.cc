// The described machine: loading its files, deriving its facts, answering System.
#include "platform/offline/offline_system.h"

#include <cstdio>
#include <filesystem>

#include "platform/offline/pe_image.h"
#include "platform/offline/reg_file.h"
#ifdef KORVANE_INSTALLATIONS
#include "platform/offline/installation.h"
#endif
#include "platform/offline/text_lines.h"
#include "platform/offline/version_resource.h"
#include "platform/read_stream.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

constexpr char kNtCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kWindowsCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr uint32_t kDefaultVfwVersion = 0x040003B6;
constexpr size_t kDescriptionLimit = 126;  // capacities of 127, the terminating zero included
constexpr size_t kTextFileLimit = size_t{64} << 20;

class ListedSearch : public FileSearch {
 public:
  explicit ListedSearch(std::vector<FindData> matches) : matches_(std::move(matches)) {}
  const FindData& Current() const override { return matches_[index_]; }
  bool FindNextFileA() override {
    if (index_ + 1 >= matches_.size()) return false;
    ++index_;
    return true;
  }

 private:
  std::vector<FindData> matches_;
  size_t index_ = 0;
};

// The text of a string value up to its first zero byte; empty when there is none.
std::string RegistryText(const MemoryRegistry::Key* key, const std::string& name) {
  const MemoryRegistry::Value* value =
      key == nullptr ? nullptr : MemoryRegistry::FindValue(key, name);
  if (value == nullptr) return std::string();
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

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

// Wine hides files whose names start with "." unless HKCU\Software\Wine says
// ShowDotFiles with a value starting with y, t or 1.
bool WineShowsDotFiles(const MemoryRegistry& registry) {
  const std::string option =
      RegistryText(registry.FindKey(RootKey::kCurrentUser, "Software\\Wine"), "ShowDotFiles");
  return !option.empty() && std::string("yYtT1").find(option[0]) != std::string::npos;
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

}  // namespace

OfflineSystem::OfflineSystem(std::map<char, std::string> drives) : drive_(std::move(drives)) {}

std::unique_ptr<OfflineSystem> OfflineSystem::Open(const std::string& dir, std::string* error,
                                                   WineView view, const std::string& user) {
  std::error_code ignored;
  if (!fs::is_directory(dir, ignored)) {
    *error = dir + ": no such folder";
    return nullptr;
  }
  if (korvane::IsWinePrefix(dir)) {
    std::map<char, std::string> drives = ReadDosDevices(dir);
    // Wine makes c: again when it is missing; it always points at drive_c.
    drives.emplace('C', (fs::path(dir) / "drive_c").string());
    std::unique_ptr<OfflineSystem> system(new OfflineSystem(std::move(drives)));
    if (!system->LoadWinePrefix(dir, view, error)) return nullptr;
    return system;
  }
  const auto drive = FindFolderIgnoringCase(dir, "c");
#ifdef KORVANE_INSTALLATIONS
  if (!drive && FindInstallation(dir)) {
    std::unique_ptr<OfflineSystem> system(new OfflineSystem({{'C', dir}}));
    if (!system->LoadInstallation(dir, user, error)) return nullptr;
    return system;
  }
#else
  (void)user;
#endif
  if (!drive) {
    *error = dir +
             ": not a described machine (it has no folder c/ for drive C:) nor a Wine prefix "
             "(it has no system.reg with a drive_c/ folder)";
    return nullptr;
  }
  std::unique_ptr<OfflineSystem> system(new OfflineSystem({{'C', *drive}}));
  if (!system->Load(dir, error)) return nullptr;
  return system;
}

bool OfflineSystem::Load(const std::string& dir, std::string* error) {
  const std::string regPath = (fs::path(dir) / "registry.reg").string();
  std::string bytes;
  if (!ReadHostFile(regPath, kTextFileLimit, &bytes)) {
    *error = regPath +
             ": cannot be read (every described machine has one; it may hold only "
             "the line REGEDIT4)";
    return false;
  }
  if (const auto parseError = ParseRegFile(bytes, &registry_)) {
    *error = DescribeParseError(regPath, *parseError);
    return false;
  }
  MachineIni ini;
  const std::string iniPath = (fs::path(dir) / "machine.ini").string();
  std::error_code ignored;
  if (fs::exists(iniPath, ignored)) {
    if (!ReadHostFile(iniPath, kTextFileLimit, &bytes)) {
      *error = iniPath + ": cannot be read";
      return false;
    }
    if (const auto parseError = ParseMachineIni(bytes, &ini)) {
      *error = DescribeParseError(iniPath, *parseError);
      return false;
    }
  }
  DeriveFacts(ini);
  return true;
}

#ifdef KORVANE_INSTALLATIONS
// An installation's facts come from its registry, as a described machine's do when its
// machine.ini leaves them out; only where the Windows directory lies is the disk's.
bool OfflineSystem::LoadInstallation(const std::string& dir, const std::string& user,
                                     std::string* error) {
  const auto layout = FindInstallation(dir);
  const auto found = korvane::LoadInstallation(dir, *layout, user, &registry_, error);
  if (!found) return false;
  notes_ = found->notes;
  MachineIni ini;
  ini.platform = layout->nt ? kPlatformWinNt : kPlatformWin9x;
  ini.windowsDirectory = found->windowsDirectory;
  ini.systemDirectory = found->systemDirectory;
  DeriveFacts(ini);
  return true;
}
#endif

void OfflineSystem::DeriveFacts(const MachineIni& ini) {
  const bool nt = registry_.FindKey(RootKey::kLocalMachine, kNtCurrentVersion) != nullptr;
  facts_.version.platformId = ini.platform.value_or(nt ? kPlatformWinNt : kPlatformWin9x);
  facts_.windowsDirectory = ini.windowsDirectory.value_or("C:\\WINDOWS");
  facts_.systemDirectory = ini.systemDirectory.value_or(
      JoinWindowsPath(facts_.windowsDirectory,
                      facts_.version.platformId == kPlatformWinNt ? "SYSTEM32" : "SYSTEM"));
  facts_.versionQueryFails = ini.versionQueryFails;
  facts_.vfwVersion = ini.vfwVersion.value_or(kDefaultVfwVersion);
  DeriveVersion(ini);
  UseLibraryCheck();
  if (ini.captureGiven) {
    facts_.capture = ini.capture;
  } else {
    DeriveCaptureDrivers();
  }
}

void OfflineSystem::UseLibraryCheck() {
  libraries_ = std::make_unique<LibraryCheck>(
      drive_, std::vector<std::string>{facts_.systemDirectory, facts_.windowsDirectory},
      facts_.imageMachine);
}

bool OfflineSystem::LoadWinePrefix(const std::string& dir, WineView view, std::string* error) {
  bool is64 = false;
  if (!LoadWineRegistry(dir, &registry_, &is64, error)) return false;
  if (view == WineView::k64 && !is64) {
    *error = dir +
             ": a 32-bit Wine prefix (its system.reg does not say #arch=win64) has no "
             "64-bit view";
    return false;
  }
  wineView_ = view;
  const WinePrefixFacts wine = DeriveWinePrefixFacts(registry_, is64, view);
  facts_.windowsDirectory = wine.windowsDirectory;
  facts_.systemDirectory = wine.systemDirectory;
  facts_.version = wine.version;
  facts_.vfwVersion = wine.vfwVersion;
  facts_.imageMachine = view == WineView::k64 ? kMachineX8664 : kMachineI386;
  drive_.SetAttributeRules({true, WineShowsDotFiles(registry_)});
  // Wine's capture library asks the host's video devices, which a prefix does not hold:
  // read from disk, a prefix has no capture drivers.
  UseLibraryCheck();
  libraries_->AcceptWineBuiltins();
  return true;
}

// As Windows derives its version record: NT from its CurrentVersion key, the 9x family
// from VersionNumber, with the major and minor version in the build number's high word.
void OfflineSystem::DeriveVersion(const MachineIni& ini) {
  OsVersion& v = facts_.version;
  if (v.platformId == kPlatformWinNt) {
    const auto* key = registry_.FindKey(RootKey::kLocalMachine, kNtCurrentVersion);
    const auto numbers = DottedNumbers(RegistryText(key, "CurrentVersion"));
    std::string build = RegistryText(key, "CurrentBuildNumber");
    if (build.empty()) build = RegistryText(key, "CurrentBuild");
    v.major = NumberAt(numbers, 0);
    v.minor = NumberAt(numbers, 1);
    v.build = NumberAt(DottedNumbers(build), 0);
    v.servicePack = RegistryText(key, "CSDVersion");
  } else if (v.platformId == kPlatformWin9x) {
    const auto* key = registry_.FindKey(RootKey::kLocalMachine, kWindowsCurrentVersion);
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

// Capture drivers as the capture library finds them: NT lists them as MSVideo values of
// the registry's drivers32 key, the 9x family as msvideo entries of system.ini [drivers].
void OfflineSystem::DeriveCaptureDrivers() {
  std::vector<IniEntry> entries;
  if (facts_.version.platformId == kPlatformWinNt) {
    const auto* key =
        registry_.FindKey(RootKey::kLocalMachine, std::string(kNtCurrentVersion) + "\\drivers32");
    if (key != nullptr) {
      for (const auto& value : key->values)
        entries.push_back({value.name, RegistryText(key, value.name)});
    }
  } else {
    std::string why, text;
    const auto ini = drive_.Resolve(JoinWindowsPath(facts_.windowsDirectory, "system.ini"), &why);
    if (ini && ReadHostFile(*ini, kTextFileLimit, &text)) entries = ReadIniSection(text, "drivers");
  }
  for (const IniEntry& entry : entries) {
    const auto index = CaptureIndex(entry.key);
    if (!index || facts_.capture[*index] || entry.value.empty()) continue;
    facts_.capture[*index] = DescribeDriver(entry.value);
  }
}

// A driver is named by its version resource; a file without one by its own name.
std::optional<CaptureDriver> OfflineSystem::DescribeDriver(const std::string& file) {
  CaptureDriver driver{file, std::string()};
  const std::string path = file.find_first_of(":\\") != std::string::npos
                               ? file
                               : JoinWindowsPath(facts_.systemDirectory, file);
  std::string why, bytes;
  const auto host = drive_.Resolve(path, &why);
  if (!host || !ReadHostFile(*host, kTextFileLimit, &bytes)) return driver;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto image = ParsePeImage(data, bytes.size(), &why);
  if (!image) return driver;
  const auto strings = ReadVersionStrings(PeView{data, bytes.size(), &*image});
  if (!strings) return driver;
  if (!strings->fileDescription.empty()) driver.name = strings->fileDescription;
  driver.version = strings->fileVersion;
  return driver;
}

bool OfflineSystem::GetVersionExA(OsVersion* version) {
  if (facts_.versionQueryFails) return false;
  *version = facts_.version;
  return true;
}

std::unique_ptr<FileSearch> OfflineSystem::FindFirstFileA(const std::string& pattern) {
  std::string why;
  std::vector<FindData> matches = drive_.Find(pattern, &why);
  if (matches.empty()) return nullptr;
  return std::make_unique<ListedSearch>(std::move(matches));
}

std::FILE* OfflineSystem::OpenFileForReading(const std::string& windowsPath) {
  std::string why;
  const auto host = drive_.Resolve(windowsPath, &why);
  if (!host) return nullptr;
  const auto facts = HostDrive::Describe(*host, std::string());
  if (!facts || (facts->attributes & kFileAttributeDirectory) != 0) return nullptr;
  return OpenDiskFile(*host);
}

std::string OfflineSystem::WhyNotFound(const std::string& pattern) {
  std::string why;
  return drive_.Find(pattern, &why).empty() ? why : std::string();
}

LibraryHandle OfflineSystem::LoadLibraryA(const std::string& path, std::string* whyNot) {
  std::string full = path;
  if (path.find_first_of(":\\/") == std::string::npos) {
    // A bare name is searched for as Windows does, in the system and Windows directories.
    for (const std::string& folder : {facts_.systemDirectory, facts_.windowsDirectory}) {
      std::string ignored;
      if (drive_.Resolve(JoinWindowsPath(folder, path), &ignored)) {
        full = JoinWindowsPath(folder, path);
        break;
      }
    }
  }
  std::string reason;
  if (!libraries_->Loads(full, &reason)) {
    if (whyNot != nullptr) *whyNot = reason;
    return 0;
  }
  const LibraryHandle handle = nextLibrary_;
  nextLibrary_ += 0x10000;
  loaded_.insert(handle);
  return handle;
}

void OfflineSystem::FreeLibrary(LibraryHandle library) { loaded_.erase(library); }

bool OfflineSystem::capGetDriverDescriptionA(unsigned index, std::string* name,
                                             std::string* version) {
  if (index >= facts_.capture.size() || !facts_.capture[index]) return false;
  *name = facts_.capture[index]->name.substr(0, kDescriptionLimit);
  *version = facts_.capture[index]->version.substr(0, kDescriptionLimit);
  return true;
}

std::optional<std::pair<RootKey, std::string>> OfflineSystem::Locate(
    RootKey root, const std::string& path) const {
  if (!wineView_) return std::make_pair(root, path);
  return WineRegistryView(registry_, *wineView_).Resolve(root, path);
}

long OfflineSystem::RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access,
                                  RegKey* key) {
  const auto where = Locate(root, path);
  if (!where) return kErrorFileNotFound;
  return registry_.RegOpenKeyExA(where->first, where->second, access, key);
}

// A new key goes where its nearest existing ancestor lives in this view.
long OfflineSystem::RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                                    RegKey* key) {
  std::string existing = path;
  std::string rest;
  for (;;) {
    if (const auto where = Locate(root, existing)) {
      const std::string& base = where->second;
      const std::string full = rest.empty() ? base : base.empty() ? rest : base + "\\" + rest;
      return registry_.RegCreateKeyExA(where->first, full, access, key);
    }
    if (existing.empty()) return registry_.RegCreateKeyExA(root, path, access, key);
    const size_t slash = existing.rfind('\\');
    const std::string name = slash == std::string::npos ? existing : existing.substr(slash + 1);
    rest = rest.empty() ? name : name + "\\" + rest;
    existing = slash == std::string::npos ? std::string() : existing.substr(0, slash);
  }
}

long OfflineSystem::RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity,
                                  uint32_t dataCapacity, RegValue* value) {
  return registry_.RegEnumValueA(key, index, nameCapacity, dataCapacity, value);
}

long OfflineSystem::RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity,
                                  std::string* name) {
  return registry_.RegEnumKeyExA(key, index, nameCapacity, name);
}

long OfflineSystem::RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                                     RegValue* value) {
  return registry_.RegQueryValueExA(key, name, dataCapacity, value);
}

long OfflineSystem::RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                                   const std::vector<uint8_t>& data) {
  return registry_.RegSetValueExA(key, name, type, data);
}

long OfflineSystem::RegCloseKey(RegKey key) { return registry_.RegCloseKey(key); }

}  // namespace korvane

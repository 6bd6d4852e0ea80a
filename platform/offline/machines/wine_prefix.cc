// Wine prefixes on disk: detection, drives, registry files and views, facts.
#include "platform/offline/machines/wine_prefix.h"

#include <filesystem>
#include <vector>

#include "platform/ascii.h"
#include "platform/offline/drives/host_drive.h"
#include "platform/offline/formats/parse_error.h"
#include "platform/offline/formats/wine_registry.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

constexpr char kNtCurrentVersion[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kWineSettings[] = "Software\\Wine";
constexpr char kWineProgramSettings[] = "Software\\Wine\\AppDefaults\\korvane.exe";
constexpr char kWow6432Node[] = "Wow6432Node";
constexpr char kSharedClasses[] = "software\\classes\\wow6432node";
constexpr char kMachineLinkPrefix[] = "\\registry\\machine\\";
constexpr int kLinkDepthLimit = 16;  // as Wine's server: a loop of links resolves to nothing

std::string Join(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// "REGISTRY\\Machine" in current files, "\\Machine" in older ones.
std::string RelativeRootName(std::string relativeTo) {
  relativeTo = AsciiLower(relativeTo);
  if (!relativeTo.empty() && relativeTo[0] == '\\') relativeTo.erase(0, 1);
  if (relativeTo.compare(0, 9, "registry\\") == 0) relativeTo.erase(0, 9);
  return relativeTo;
}

bool LoadOneFile(const std::string& path, RootKey root, const std::string& expectedRoot,
                 CodePage page, MemoryRegistry* registry, WineRegistryHeader* header,
                 std::string* error) {
  std::string bytes;
  if (!ReadHostFile(path, kTextFileLimit, &bytes)) {
    *error = path + ": cannot be read";
    return false;
  }
  if (const auto parseError = ParseWineRegistry(bytes, root, registry, header, page)) {
    *error = DescribeParseError(path, *parseError);
    return false;
  }
  const std::string name = RelativeRootName(header->relativeTo);
  if (name.compare(0, expectedRoot.size(), expectedRoot) != 0) {
    *error = path + ": holds the keys of \"" + header->relativeTo + "\", not of " +
             (expectedRoot == "machine" ? "the machine" : "a user");
    return false;
  }
  return true;
}

// The version records of Wine 8's version names (HKCU\Software\Wine "Version"), as
// GetVersionExA gives them to a program without a compatibility manifest: win8, win81
// and win10 all read as 6.2 build 9200 there.
struct WineVersionName {
  const char* name;
  uint32_t major, minor, build, platformId;
  const char* servicePack;
};
const WineVersionName kWineVersionNames[] = {
    {"win20", 2, 0, 0, kPlatformWin32s, "Win32s 1.3"},
    {"win30", 3, 0, 0, kPlatformWin32s, "Win32s 1.3"},
    {"win31", 3, 10, 0, kPlatformWin32s, "Win32s 1.3"},
    {"win95", 4, 0, 0x40003B6, kPlatformWin9x, ""},
    {"win98", 4, 10, 0x40A08AE, kPlatformWin9x, " A "},
    {"winme", 4, 90, 0x45A0BB8, kPlatformWin9x, " "},
    {"nt351", 3, 51, 0x421, kPlatformWinNt, "Service Pack 5"},
    {"nt40", 4, 0, 0x565, kPlatformWinNt, "Service Pack 6a"},
    {"win2000", 5, 0, 0x893, kPlatformWinNt, "Service Pack 4"},
    {"win2k", 5, 0, 0x893, kPlatformWinNt, "Service Pack 4"},
    {"nt2k", 5, 0, 0x893, kPlatformWinNt, "Service Pack 4"},
    {"nt2000", 5, 0, 0x893, kPlatformWinNt, "Service Pack 4"},
    {"winxp", 5, 1, 0xA28, kPlatformWinNt, "Service Pack 3"},
    {"winxp64", 5, 2, 0xECE, kPlatformWinNt, "Service Pack 2"},
    {"win2003", 5, 2, 0xECE, kPlatformWinNt, "Service Pack 2"},
    {"win2k3", 5, 2, 0xECE, kPlatformWinNt, "Service Pack 2"},
    {"vista", 6, 0, 0x1772, kPlatformWinNt, "Service Pack 2"},
    {"winvista", 6, 0, 0x1772, kPlatformWinNt, "Service Pack 2"},
    {"win2008", 6, 0, 0x1772, kPlatformWinNt, "Service Pack 2"},
    {"win2k8", 6, 0, 0x1772, kPlatformWinNt, "Service Pack 2"},
    {"win2008r2", 6, 1, 0x1DB1, kPlatformWinNt, "Service Pack 1"},
    {"win2k8r2", 6, 1, 0x1DB1, kPlatformWinNt, "Service Pack 1"},
    {"win7", 6, 1, 0x1DB1, kPlatformWinNt, "Service Pack 1"},
    {"win8", 6, 2, 0x23F0, kPlatformWinNt, ""},
    {"win81", 6, 2, 0x23F0, kPlatformWinNt, ""},
    {"win10", 6, 2, 0x23F0, kPlatformWinNt, ""},
};

// The record that the "Version" value of a key names. Wine matches the name with case and
// passes over a name it does not know.
std::optional<OsVersion> NamedWineVersion(const MemoryRegistry::Key* key) {
  const std::string name = RegistryText(key, "Version");
  for (const WineVersionName& known : kWineVersionNames) {
    if (name != known.name) continue;
    OsVersion version;
    version.major = known.major;
    version.minor = known.minor;
    version.build = known.build;
    version.platformId = known.platformId;
    version.servicePack = known.servicePack;
    return version;
  }
  return std::nullopt;
}

uint32_t LeadingNumber(const std::string& text, size_t* pos) {
  uint64_t n = 0;
  for (; *pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9'; ++*pos) {
    n = n * 10 + static_cast<uint64_t>(text[*pos] - '0');
    if (n > 0xFFFFFFFFu) n = 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(n);
}

// Wine hides files whose names start with "." unless HKCU\Software\Wine says
// ShowDotFiles with a value starting with y, t or 1.
bool WineShowsDotFiles(const MemoryRegistry& registry) {
  const std::string option =
      RegistryText(registry.FindKey(RootKey::kCurrentUser, "Software\\Wine"), "ShowDotFiles");
  return !option.empty() && std::string("yYtT1").find(option[0]) != std::string::npos;
}

}  // namespace

bool IsWinePrefix(const std::string& dir) {
  std::error_code ignored;
  return fs::is_regular_file(fs::path(dir) / "system.reg", ignored) &&
         fs::is_directory(fs::path(dir) / "drive_c", ignored);
}

std::map<char, std::string> ReadDosDevices(const std::string& prefixDir) {
  std::map<char, std::string> drives;
  const fs::path devices = fs::path(prefixDir) / "dosdevices";
  std::error_code error;
  if (!fs::is_directory(devices, error)) {
    drives['C'] = (fs::path(prefixDir) / "drive_c").string();
    return drives;
  }
  for (fs::directory_iterator it(devices, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() != 2 || name[1] != ':') continue;
    const char letter = static_cast<char>(name[0] & ~0x20);
    if (letter < 'A' || letter > 'Z') continue;
    std::error_code ignored;
    if (!fs::is_directory(it->path(), ignored)) continue;  // a dangling link, or a device
    fs::path target =
        fs::is_symlink(it->path(), ignored) ? fs::read_symlink(it->path(), ignored) : it->path();
    if (target.is_relative()) target = devices / target;
    drives[letter] = target.lexically_normal().string();
  }
  return drives;
}

namespace {

bool LoadWineRegistryIn(const fs::path& dir, CodePage page, MemoryRegistry* registry, bool* is64,
                        std::string* error) {
  WineRegistryHeader machine;
  if (!LoadOneFile((dir / "system.reg").string(), RootKey::kLocalMachine, "machine", page, registry,
                   &machine, error)) {
    return false;
  }
  *is64 = machine.arch == "win64";
  registry->ShareClassesRoot();
  std::error_code ignored;
  for (const char* name : {"user.reg", "userdef.reg"}) {
    const std::string path = (dir / name).string();
    if (!fs::exists(path, ignored)) continue;
    WineRegistryHeader user;
    return LoadOneFile(path, RootKey::kCurrentUser, "user\\", page, registry, &user, error);
  }
  return true;
}

}  // namespace

bool LoadWineRegistry(const std::string& prefixDir, MemoryRegistry* registry, bool* is64,
                      std::string* error, CodePages* pages) {
  // Wine keeps the registry's text as UTF-16 escapes; the ANSI calls narrow it to the code
  // page the registry names, which its own ASCII digits tell whatever page reads them.
  if (!LoadWineRegistryIn(prefixDir, kDefaultAnsiCodePage, registry, is64, error)) return false;
  const CodePages named = RegistryCodePages(*registry);
  if (pages != nullptr) *pages = named;
  if (named.ansi == kDefaultAnsiCodePage) return true;
  *registry = MemoryRegistry();
  return LoadWineRegistryIn(prefixDir, named.ansi, registry, is64, error);
}

bool WineRegistryView::Exists(RootKey root, const std::string& path) const {
  return registry_.FindKey(root, path) != nullptr;
}

// A 32-bit program that reaches a key with a Wow6432Node subkey goes on inside it,
// unless the next name asks for Wow6432Node itself.
std::string WineRegistryView::PassWow64(RootKey root, const std::string& path,
                                        const std::string& next) const {
  if (view_ != WineView::k32 || EqualsIgnoringCase(next, kWow6432Node)) return path;
  const std::string redirected = Join(path, kWow6432Node);
  return Exists(root, redirected) ? redirected : path;
}

std::optional<std::string> WineRegistryView::FollowLinks(RootKey root,
                                                         const std::string& path) const {
  std::string current = path;
  for (int depth = 0; depth <= kLinkDepthLimit; ++depth) {
    const MemoryRegistry::Key* key = registry_.FindKey(root, current);
    const MemoryRegistry::Value* link =
        key == nullptr ? nullptr : MemoryRegistry::FindValue(key, kSymbolicLinkValue);
    if (link == nullptr || link->type != kRegLink) return current;
    std::string target;  // UTF-16LE; key names here are ASCII
    for (size_t i = 0; i + 1 < link->data.size(); i += 2) {
      target += static_cast<char>(link->data[i + 1] == 0 ? link->data[i] : '?');
    }
    const std::string lower = AsciiLower(target);
    const size_t prefix = sizeof kMachineLinkPrefix - 1;
    if (root != RootKey::kLocalMachine || lower.compare(0, prefix, kMachineLinkPrefix) != 0) {
      return std::nullopt;
    }
    current = target.substr(prefix);
    if (!Exists(root, current)) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::pair<RootKey, std::string>> WineRegistryView::Resolve(
    RootKey root, const std::string& path) const {
  std::string current;
  if (root == RootKey::kClassesRoot) {
    root = RootKey::kLocalMachine;
    current = "Software\\Classes";
  }
  const std::vector<std::string> names = registry_.leadBytes().SplitPath(path);
  if (!names.empty()) current = PassWow64(root, current, names[0]);
  for (size_t i = 0; i < names.size(); ++i) {
    std::string next = Join(current, names[i]);
    if (!Exists(root, next) && view_ == WineView::k32 && root == RootKey::kLocalMachine &&
        AsciiLower(current) == kSharedClasses) {
      next = Join(Parent(current), names[i]);  // shared with the 64-bit classes
    }
    if (!Exists(root, next)) return std::nullopt;
    current = next;
    if (i + 1 < names.size()) current = PassWow64(root, current, names[i + 1]);
    const auto followed = FollowLinks(root, current);
    if (!followed) return std::nullopt;
    current = *followed;
  }
  if (!names.empty()) current = PassWow64(root, current, std::string());
  const auto followed = FollowLinks(root, current);
  if (!followed) return std::nullopt;
  return std::make_pair(root, *followed);
}

WinePrefixFacts DeriveWinePrefixFacts(const MemoryRegistry& registry, bool prefixIs64,
                                      WineView view) {
  WinePrefixFacts facts;
  facts.windowsDirectory = "C:\\windows";
  facts.systemDirectory =
      prefixIs64 && view == WineView::k32 ? "C:\\windows\\syswow64" : "C:\\windows\\system32";
  // Wine keeps one version for both views, in the 64-bit key.
  const MemoryRegistry::Key* key = registry.FindKey(RootKey::kLocalMachine, kNtCurrentVersion);
  const std::string version = RegistryText(key, "CurrentVersion");
  size_t pos = 0;
  facts.version.major = LeadingNumber(version, &pos);
  if (pos < version.size() && version[pos] == '.') ++pos;
  facts.version.minor = LeadingNumber(version, &pos);
  std::string build = RegistryText(key, "CurrentBuildNumber");
  if (build.empty()) build = RegistryText(key, "CurrentBuild");
  pos = 0;
  facts.version.build = LeadingNumber(build, &pos);
  facts.version.platformId = kPlatformWinNt;
  facts.version.servicePack = RegistryText(key, "CSDVersion").substr(0, 127);
  // A version set for the program (korvane.exe), else for every program, comes first.
  for (const char* setting : {kWineProgramSettings, kWineSettings}) {
    if (auto named = NamedWineVersion(registry.FindKey(RootKey::kCurrentUser, setting))) {
      facts.version = std::move(*named);
      break;
    }
  }
  facts.vfwVersion = kDefaultVfwVersion;
  return facts;
}

bool OpenWinePrefix(const std::string& dir, const MachineOptions& options, OfflineMachine* machine,
                    std::string* error) {
  bool is64 = false;
  CodePages pages;
  if (!LoadWineRegistry(dir, &machine->registry, &is64, error, &pages)) return false;
  if (options.view == WineView::k64 && !is64) {
    *error = dir +
             ": a 32-bit Wine prefix (its system.reg does not say #arch=win64) has no "
             "64-bit view";
    return false;
  }
  std::map<char, std::string> drives = ReadDosDevices(dir);
  // Wine makes c: again when it is missing; it always points at drive_c.
  drives.emplace('C', (fs::path(dir) / "drive_c").string());
  machine->drive = std::make_unique<HostDrive>(
      std::move(drives), AttributeRules{true, WineShowsDotFiles(machine->registry)});
  machine->drive->SetCodePages({pages.ansi, pages.oem});
  machine->registryView = std::make_unique<WineRegistryView>(machine->registry, options.view);
  machine->winePrefix = true;
  const WinePrefixFacts wine = DeriveWinePrefixFacts(machine->registry, is64, options.view);
  MachineFacts& facts = machine->facts;
  facts.windowsDirectory = wine.windowsDirectory;
  facts.systemDirectory = wine.systemDirectory;
  facts.version = wine.version;
  facts.vfwVersion = wine.vfwVersion;
  facts.imageMachine = options.view == WineView::k64 ? kMachineX8664 : kMachineI386;
  facts.ansiCodePage = pages.ansi;
  facts.oemCodePage = pages.oem;
  // Wine's capture library asks the host's video devices, which a prefix does not hold:
  // read from disk, a prefix has no capture drivers.
  return true;
}

}  // namespace korvane

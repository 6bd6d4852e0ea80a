// Windows installations on a drive: finding their parts and loading their registry files.
#include "platform/offline/machines/installation_layout.h"

#include <algorithm>
#include <cstdio>

#include "platform/ascii.h"
#include "platform/byte_reader.h"
#include "platform/offline/formats/ini_section.h"
#include "platform/offline/machines/machine.h"
#include "platform/offline/registries/creg_file.h"
#include "platform/offline/registries/nt_hive.h"
#include "platform/offline/registries/registry_files.h"

namespace korvane {
namespace {

constexpr size_t kMsdosSysLimit = 1 << 20;
// Profile folders that are templates or shared, not a person's.
const char* const kNotAUser[] = {"All Users", "Default",      "Default User",
                                 "Public",    "LocalService", "NetworkService"};

// A file or folder on the drive: its Windows path and its location on the drive.
struct Entry {
  std::string path;
  std::string location;
  FindData data;
};

std::optional<Entry> Look(Drive& drive, const std::string& path) {
  std::string why;
  const auto location = drive.Resolve(path, &why);
  if (!location) return std::nullopt;
  // The name as the disk spells it: the last part of its location.
  const size_t slash = location->find_last_of("/\\");
  const auto data = drive.Describe(*location, location->substr(slash + 1));
  if (!data) return std::nullopt;
  return Entry{path, *location, *data};
}

bool IsFile(const std::optional<Entry>& entry) {
  return entry && (entry->data.attributes & kFileAttributeDirectory) == 0;
}
bool IsFolder(const std::optional<Entry>& entry) {
  return entry && (entry->data.attributes & kFileAttributeDirectory) != 0;
}

// The folders of a folder (its Windows path), "." and ".." left out.
std::vector<FindData> Folders(Drive& drive, const std::string& folder) {
  std::string why;
  std::vector<FindData> folders;
  for (const FindData& data : drive.Find(JoinWindowsPath(folder, "*"), &why)) {
    if ((data.attributes & kFileAttributeDirectory) != 0 && data.name != "." && data.name != "..") {
      folders.push_back(data);
    }
  }
  return folders;
}

// MSDOS.SYS [Paths] WinDir= names the Windows directory of a 9x installation.
std::optional<std::string> WindowsFolderFromMsdosSys(Drive& drive) {
  const auto msdos = Look(drive, "C:\\MSDOS.SYS");
  std::string text;
  if (!IsFile(msdos) || !drive.Read(msdos->location, kMsdosSysLimit, &text)) return std::nullopt;
  for (const IniEntry& entry : ReadIniSection(text, "Paths")) {
    if (!EqualsIgnoringCase(entry.key, "WinDir")) continue;
    std::string dir = entry.value;
    if (dir.size() >= 3 && dir[1] == ':' && (dir[2] == '\\' || dir[2] == '/')) dir.erase(0, 3);
    if (dir.empty() || dir.find_first_of("\\/") != std::string::npos) return std::nullopt;
    const auto folder = Look(drive, "C:\\" + dir);
    if (IsFolder(folder) && IsFile(Look(drive, folder->path + "\\SYSTEM.DAT"))) {
      return folder->data.name;
    }
  }
  return std::nullopt;
}

uint32_t Dword(const MemoryRegistry::Key* key, const std::string& name) {
  const auto* value = key == nullptr ? nullptr : MemoryRegistry::FindValue(key, name);
  return value == nullptr ? 0 : ByteReader(value->data.data(), value->data.size()).U32At(0);
}

// The machine's offset from UTC, as its time zone information in the registry says:
// the active bias (daylight saving time included) where it is given.
int32_t TimeZoneBias(const MemoryRegistry& registry, const std::string& controlSet) {
  const auto* key =
      registry.FindKey(RootKey::kLocalMachine, controlSet + "\\Control\\TimeZoneInformation");
  if (key == nullptr) return 0;
  for (const char* name : {"ActiveTimeBias", "Bias"}) {
    const auto* value = MemoryRegistry::FindValue(key, name);
    if (value != nullptr && value->data.size() >= 4) return static_cast<int32_t>(Dword(key, name));
  }
  return 0;
}

struct UserFile {
  std::string name;
  Entry file;
};

std::vector<UserFile> Profiles(Drive& drive, const std::string& folder,
                               const std::string& fileName) {
  std::vector<UserFile> users;
  for (const FindData& profile : Folders(drive, folder)) {
    bool skip = false;
    for (const char* shared : kNotAUser) skip = skip || EqualsIgnoringCase(profile.name, shared);
    const auto file = Look(drive, folder + "\\" + profile.name + "\\" + fileName);
    if (!skip && IsFile(file)) users.push_back({profile.name, *file});
  }
  return users;
}

// The named user's registry file, the only one, or the last written.
std::optional<UserFile> PickUser(const std::vector<UserFile>& users, const std::string& wanted,
                                 std::vector<std::string>* notes, std::string* error) {
  if (!wanted.empty()) {
    for (const UserFile& user : users) {
      if (EqualsIgnoringCase(user.name, wanted)) return user;
    }
    std::string names;
    for (const UserFile& user : users) names += (names.empty() ? "" : ", ") + user.name;
    *error = "no user " + wanted + " on this machine (" +
             (names.empty() ? std::string("it has no user profiles") : "its users: " + names) + ")";
    return std::nullopt;
  }
  if (users.empty()) return std::nullopt;
  const UserFile* newest = &users[0];
  for (const UserFile& user : users) {
    if (user.file.data.lastWriteTime > newest->file.data.lastWriteTime) newest = &user;
  }
  notes->push_back(users.size() == 1
                       ? "the registry of user " + newest->name
                       : "the registry of user " + newest->name + ", written last of " +
                             std::to_string(users.size()) + " users (--user NAME to choose)");
  return *newest;
}

// The key at a backslash-separated path below key, or nullptr.
const MemoryRegistry::Key* Below(const MemoryRegistry::Key* key, const std::string& path) {
  for (size_t start = 0; key != nullptr && start <= path.size();) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    start = end + 1;
    key = key->FindSubkey(part);
  }
  return key;
}

const char kLooksLike9xSystemDat[] = "a Windows 9x SYSTEM.DAT";

// Which registry file a root holds, from the keys only that file has at its root; empty
// when none says. Told for a file put where another belongs. (A 9x file where an NT hive
// belongs, or the other way round, is refused by its loader before this.)
std::string LooksLike(const MemoryRegistry::Key& root, bool nt) {
  const auto has = [&root](const char* path) { return Below(&root, path) != nullptr; };
  if (has("Select") && has("ControlSet001")) return "a SYSTEM hive";
  if (has("Microsoft\\Windows NT\\CurrentVersion")) return "a SOFTWARE hive";
  if (has("SAM\\Domains")) return "a SAM hive";
  if (has("Policy") && has("RXACT")) return "a SECURITY hive";
  // Only the machine's file holds the 9x version; a user's has the same key for its own
  // settings.
  const MemoryRegistry::Key* windows = Below(&root, "Software\\Microsoft\\Windows\\CurrentVersion");
  if (!nt && windows != nullptr && MemoryRegistry::FindValue(windows, "VersionNumber") != nullptr) {
    return kLooksLike9xSystemDat;
  }
  if (has("Software") && has("Control Panel")) return nt ? "an NTUSER.DAT" : "a USER.DAT";
  if (has(".DEFAULT")) return "the shared USER.DAT";
  if (has("CLSID") || has("Local Settings")) return "a user's UsrClass.dat";
  return std::string();
}

// "not a SOFTWARE hive: it has no KEY" and, where it is plain, what the file is instead.
std::string NotThatFile(const char* kind, const char* lacks, const MemoryRegistry::Key& root,
                        bool nt) {
  std::string text = std::string("not a ") + kind + ": it has no " + lacks + " key";
  const std::string instead = LooksLike(root, nt);
  if (!instead.empty()) text += " (it looks like " + instead + ")";
  return text;
}

class Loader {
 public:
  Loader(Drive& drive, const std::string& where, std::string* error)
      : drive_(drive), where_(where), error_(error) {}

  bool Load(const Entry& file, MemoryRegistry::Key* into, bool nt,
            const std::string& subkey = std::string()) {
    std::string bytes;
    if (!drive_.Read(file.location, kRegistryFileLimit, &bytes)) {
      *error_ = where_ + file.location + ": cannot be read";
      return false;
    }
    const auto failure =
        nt ? LoadNtHiveBytes(bytes, into, subkey, page_) : LoadCregBytes(bytes, into);
    if (failure) *error_ = where_ + file.location + ": " + *failure;
    return !failure;
  }

  // The code pages an NT SYSTEM hive names in its current control set, read before the
  // hives are loaded since their UTF-16 text is narrowed to it. The values are ASCII
  // digits, whatever code page reads them; a hive that cannot say leaves the defaults
  // (loading it later tells what is wrong with it).
  CodePages NtCodePages(const Entry& system) {
    std::string bytes;
    if (!drive_.Read(system.location, kRegistryFileLimit, &bytes)) return CodePages();
    MemoryRegistry scratch;
    MemoryRegistry::Key* select = scratch.CreateKey(RootKey::kLocalMachine, "SYSTEM\\Select");
    if (LoadNtHiveBytes(bytes, select, "Select")) return CodePages();
    char set[24];
    std::snprintf(set, sizeof set, "ControlSet%03u", Dword(select, "Current") % 1000);
    const std::string nls = std::string(set) + "\\Control\\Nls\\CodePage";
    MemoryRegistry::Key* into = scratch.CreateKey(
        RootKey::kLocalMachine, "System\\CurrentControlSet\\Control\\Nls\\CodePage");
    if (LoadNtHiveBytes(bytes, into, nls)) return CodePages();
    return RegistryCodePages(scratch);
  }

  void SetCodePage(CodePage page) { page_ = page; }

  // Loads file as Load does, and refuses it, as another registry file put in its place,
  // when it lacks the key path that every such file holds.
  bool LoadHolding(const Entry& file, MemoryRegistry::Key* into, bool nt, const char* kind,
                   const char* path) {
    if (!Load(file, into, nt)) return false;
    if (Below(into, path) != nullptr) return true;
    *error_ = where_ + file.location + ": " + NotThatFile(kind, path, *into, nt);
    return false;
  }

  // Loads a user's registry file and refuses a machine's file put in its place: an
  // NTUSER.DAT always has a Software key, which no machine hive has at its root; a 9x
  // USER.DAT has no Software key of its own when it is the shared one, so there only
  // what SYSTEM.DAT alone holds tells it.
  bool LoadUser(const Entry& file, MemoryRegistry::Key* into, bool nt) {
    if (nt) return LoadHolding(file, into, true, "user's NTUSER.DAT", "Software");
    if (!Load(file, into, false)) return false;
    const std::string instead = LooksLike(*into, false);
    if (instead != kLooksLike9xSystemDat) return true;
    *error_ = where_ + file.location + ": not a user's USER.DAT (it looks like " + instead + ")";
    return false;
  }

 private:
  Drive& drive_;
  std::string where_;
  std::string* error_;
  CodePage page_ = kDefaultAnsiCodePage;
};

std::optional<InstallationFacts> Load9x(Drive& drive, const InstallationLayout& layout,
                                        const std::string& user, Loader& loader,
                                        MemoryRegistry* registry, std::string* error) {
  InstallationFacts facts;
  facts.windowsDirectory = "C:\\" + layout.windowsName;
  facts.systemDirectory = facts.windowsDirectory + "\\SYSTEM";
  const auto system = Look(drive, facts.windowsDirectory + "\\SYSTEM.DAT");
  if (!IsFile(system) || !loader.LoadHolding(*system, registry->FindKey(RootKey::kLocalMachine, ""),
                                             false, "Windows 9x SYSTEM.DAT",
                                             "Software\\Microsoft\\Windows\\CurrentVersion")) {
    if (!IsFile(system)) *error = facts.windowsDirectory + "\\SYSTEM.DAT: not found";
    return std::nullopt;
  }
  const std::vector<UserFile> users =
      Profiles(drive, facts.windowsDirectory + "\\Profiles", "USER.DAT");
  MemoryRegistry::Key* currentUser = registry->FindKey(RootKey::kCurrentUser, "");
  const auto picked = PickUser(users, user, &facts.notes, error);
  if (!picked && !error->empty()) return std::nullopt;
  if (picked) {
    if (!loader.LoadUser(picked->file, currentUser, false)) return std::nullopt;
  } else if (const auto shared = Look(drive, facts.windowsDirectory + "\\USER.DAT");
             IsFile(shared)) {
    MemoryRegistry::Key allUsers;
    if (!loader.Load(*shared, &allUsers, false)) return std::nullopt;
    if (MemoryRegistry::Key* shared = allUsers.FindSubkey(".DEFAULT")) {
      currentUser->TakeContentsOf(shared);
    }
  }
  facts.timeZoneBias = TimeZoneBias(*registry, "System\\CurrentControlSet");
  facts.codePages = RegistryCodePages(*registry);  // 9x files hold 8-bit text in it already
  return facts;
}

// The major version the SOFTWARE hive gives (CurrentVersion "5.0" on Windows 2000), or 0.
int MajorVersion(const MemoryRegistry& registry) {
  const std::string version = RegistryText(
      registry.FindKey(RootKey::kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
      "CurrentVersion");
  int major = 0;
  for (size_t i = 0; i < version.size() && i < 4 && version[i] >= '0' && version[i] <= '9'; ++i) {
    major = major * 10 + (version[i] - '0');
  }
  return major;
}

// Windows 2000 and later keep the user's classes in UsrClass.dat in the profile (where
// 2000/XP and Vista and later put it) and show them as HKCU\Software\Classes, and laid
// over the machine's in HKEY_CLASSES_ROOT. Without the file, nothing changes.
bool LoadUserClasses(Drive& drive, const UserFile& user, Loader& loader, MemoryRegistry* registry) {
  const std::string profile = user.file.path.substr(0, user.file.path.find_last_of('\\'));
  for (const char* place : {"\\Local Settings\\Application Data\\Microsoft\\Windows",
                            "\\AppData\\Local\\Microsoft\\Windows"}) {
    const auto classes = Look(drive, profile + place + "\\UsrClass.dat");
    if (!IsFile(classes)) continue;
    // NTUSER.DAT holds only a link where the user's classes are shown.
    MemoryRegistry::Key* into = registry->CreateKey(RootKey::kCurrentUser, "Software\\Classes");
    into->ClearSubkeys();
    into->values.clear();
    if (!loader.Load(*classes, into, true)) return false;
    registry->MergeClassesRoot();
    return true;
  }
  return true;
}

std::optional<InstallationFacts> LoadNt(Drive& drive, const InstallationLayout& layout,
                                        const std::string& user, Loader& loader,
                                        MemoryRegistry* registry, std::string* error) {
  InstallationFacts facts;
  const std::string windows = "C:\\" + layout.windowsName;
  const std::string config = windows + "\\" + layout.systemName + "\\config";
  const auto software = Look(drive, config + "\\SOFTWARE");
  const auto systemHive = Look(drive, config + "\\SYSTEM");
  if (IsFile(systemHive)) facts.codePages = loader.NtCodePages(*systemHive);
  loader.SetCodePage(facts.codePages.ansi);
  if (!IsFile(software) ||
      !loader.LoadHolding(*software, registry->CreateKey(RootKey::kLocalMachine, "SOFTWARE"), true,
                          "SOFTWARE hive", "Microsoft\\Windows NT\\CurrentVersion")) {
    if (!IsFile(software)) *error = config + "\\SOFTWARE: not found";
    return std::nullopt;
  }
  std::string controlSet = "SYSTEM\\CurrentControlSet";
  if (const auto system = Look(drive, config + "\\SYSTEM"); IsFile(system)) {
    if (!loader.LoadHolding(*system, registry->CreateKey(RootKey::kLocalMachine, "SYSTEM"), true,
                            "SYSTEM hive", "Select")) {
      return std::nullopt;
    }
    const uint32_t current =
        Dword(registry->FindKey(RootKey::kLocalMachine, "SYSTEM\\Select"), "Current");
    char name[24];
    std::snprintf(name, sizeof name, "ControlSet%03u", current % 1000);
    if (current != 0 && registry->FindKey(RootKey::kLocalMachine, std::string("SYSTEM\\") + name)) {
      if (!loader.Load(*system, registry->CreateKey(RootKey::kLocalMachine, controlSet), true,
                       name)) {
        return std::nullopt;
      }
    }
  }
  // NT 4 keeps profiles in the Windows directory, 2000 and XP in Documents and Settings,
  // Vista and later in Users.
  std::vector<UserFile> users;
  for (const std::string& folder :
       {windows + "\\Profiles", std::string("C:\\Documents and Settings"),
        std::string("C:\\Users")}) {
    for (UserFile& found : Profiles(drive, folder, "NTUSER.DAT")) users.push_back(std::move(found));
  }
  const auto picked = PickUser(users, user, &facts.notes, error);
  if (!picked && !error->empty()) return std::nullopt;
  if (picked &&
      !loader.LoadUser(picked->file, registry->FindKey(RootKey::kCurrentUser, ""), true)) {
    return std::nullopt;
  }
  if (picked && MajorVersion(*registry) >= 5 &&
      !LoadUserClasses(drive, *picked, loader, registry)) {
    return std::nullopt;
  }
  // The Windows directory as the registry names it, when that is this folder.
  facts.windowsDirectory = windows;
  const std::string systemRoot = RegistryText(
      registry->FindKey(RootKey::kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
      "SystemRoot");
  if (EqualsIgnoringCase(systemRoot, windows)) facts.windowsDirectory = systemRoot;
  facts.systemDirectory = facts.windowsDirectory + "\\" + layout.systemName;
  facts.timeZoneBias = TimeZoneBias(*registry, controlSet);
  return facts;
}

}  // namespace

std::optional<InstallationLayout> FindInstallation(Drive& drive) {
  InstallationLayout layout;
  std::optional<std::string> windows = WindowsFolderFromMsdosSys(drive);
  const std::vector<FindData> top = Folders(drive, "C:");
  for (const FindData& folder : top) {
    if (windows) break;
    const std::string path = "C:\\" + folder.name;
    if (IsFile(Look(drive, path + "\\SYSTEM.DAT")) && IsFile(Look(drive, path + "\\WIN.COM"))) {
      windows = folder.name;
    }
  }
  if (windows) {
    layout.windowsName = *windows;
    layout.systemName = "SYSTEM";
    return layout;
  }
  for (const FindData& folder : top) {
    const auto system32 = Look(drive, "C:\\" + folder.name + "\\System32");
    if (IsFolder(system32) && IsFile(Look(drive, system32->path + "\\config\\SOFTWARE"))) {
      layout.nt = true;
      layout.windowsName = folder.name;
      layout.systemName = system32->data.name;
      return layout;
    }
  }
  return std::nullopt;
}

std::optional<InstallationFacts> LoadInstallation(Drive& drive, const InstallationLayout& layout,
                                                  const std::string& user, const std::string& where,
                                                  MemoryRegistry* registry, std::string* error) {
  error->clear();
  registry->ShareClassesRoot();
  Loader loader(drive, where, error);
  return layout.nt ? LoadNt(drive, layout, user, loader, registry, error)
                   : Load9x(drive, layout, user, loader, registry, error);
}

}  // namespace korvane

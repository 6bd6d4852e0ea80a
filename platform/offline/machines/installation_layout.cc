// Windows installations on disk: finding their parts and loading their registry files.
#include "platform/offline/machines/installation_layout.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/offline/host_drive.h"
#include "platform/offline/formats/ini_section.h"
#include "platform/offline/registry_files.h"
#include "platform/read_stream.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

constexpr size_t kMsdosSysLimit = 1 << 20;
// Profile folders that are templates or shared, not a person's.
const char* const kNotAUser[] = {"All Users", "Default", "Default User", "Public",
                                 "LocalService", "NetworkService"};

// The entry of folder named name without regard to case, as its host path.
std::optional<std::string> Child(const std::string& folder, const std::string& name) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (EqualsIgnoringCase(entry, name)) return it->path().string();
  }
  return std::nullopt;
}

std::optional<std::string> ChildPath(std::string folder, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const auto next = Child(folder, name);
    if (!next) return std::nullopt;
    folder = *next;
  }
  return folder;
}

bool IsFile(const std::optional<std::string>& path) {
  std::error_code error;
  return path && fs::is_regular_file(*path, error);
}

std::string NameOf(const std::string& path) { return fs::path(path).filename().string(); }

// MSDOS.SYS [Paths] WinDir= names the Windows directory of a 9x installation.
std::optional<std::string> WindowsFolderFromMsdosSys(const std::string& root) {
  const auto msdos = Child(root, "MSDOS.SYS");
  std::string text;
  if (!IsFile(msdos) || !ReadHostFile(*msdos, kMsdosSysLimit, &text)) return std::nullopt;
  for (const IniEntry& entry : ReadIniSection(text, "Paths")) {
    if (!EqualsIgnoringCase(entry.key, "WinDir")) continue;
    std::string dir = entry.value;
    if (dir.size() >= 3 && dir[1] == ':' && (dir[2] == '\\' || dir[2] == '/')) dir.erase(0, 3);
    if (dir.empty() || dir.find_first_of("\\/") != std::string::npos) return std::nullopt;
    const auto folder = Child(root, dir);
    if (folder && IsFile(Child(*folder, "SYSTEM.DAT"))) return folder;
  }
  return std::nullopt;
}

// The text of a string value, up to its first zero byte.
std::string Text(const MemoryRegistry::Key* key, const std::string& name) {
  const auto* value = key == nullptr ? nullptr : MemoryRegistry::FindValue(key, name);
  if (value == nullptr) return std::string();
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

uint32_t Dword(const MemoryRegistry::Key* key, const std::string& name) {
  const auto* value = key == nullptr ? nullptr : MemoryRegistry::FindValue(key, name);
  if (value == nullptr || value->data.size() < 4) return 0;
  return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
         static_cast<uint32_t>(value->data[3]) << 24;
}

// A user's registry file: the named user's, the only one, or the last written.
struct UserFile {
  std::string name;
  std::string path;
};
std::optional<UserFile> PickUser(const std::vector<UserFile>& users, const std::string& wanted,
                                 std::vector<std::string>* notes, std::string* error) {
  if (!wanted.empty()) {
    for (const UserFile& user : users) {
      if (EqualsIgnoringCase(user.name, wanted)) return user;
    }
    std::string names;
    for (const UserFile& user : users) names += (names.empty() ? "" : ", ") + user.name;
    *error = "no user " + wanted + " on this machine (" +
             (names.empty() ? std::string("it has no user profiles") : "users: " + names) + ")";
    return std::nullopt;
  }
  if (users.empty()) return std::nullopt;
  const UserFile* newest = &users[0];
  std::error_code ignored;
  for (const UserFile& user : users) {
    if (fs::last_write_time(user.path, ignored) > fs::last_write_time(newest->path, ignored)) {
      newest = &user;
    }
  }
  notes->push_back(users.size() == 1 ? "the registry of user " + newest->name
                                     : "the registry of user " + newest->name +
                                           ", written last of " + std::to_string(users.size()) +
                                           " users (--user NAME to choose)");
  return *newest;
}

std::vector<UserFile> Profiles(const std::string& folder, const std::string& fileName) {
  std::vector<UserFile> users;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = NameOf(it->path().string());
    bool skip = false;
    for (const char* template_ : kNotAUser) skip = skip || EqualsIgnoringCase(name, template_);
    const auto file = Child(it->path().string(), fileName);
    if (!skip && IsFile(file)) users.push_back({name, *file});
  }
  std::sort(users.begin(), users.end(), [](const UserFile& a, const UserFile& b) {
    return AsciiLower(a.name) < AsciiLower(b.name);
  });
  return users;
}

bool Load(const std::string& path, MemoryRegistry::Key* into, bool nt, std::string* error,
          const std::string& subkey = std::string()) {
  const auto failure = nt ? LoadNtHive(path, into, subkey) : LoadCregFile(path, into);
  if (failure) *error = path + ": " + *failure;
  return !failure;
}

// Moves the contents of from into the (empty) key into.
void Adopt(MemoryRegistry::Key* from, MemoryRegistry::Key* into) {
  for (auto& sub : from->subkeys) {
    MemoryRegistry::Key* raw = sub.get();
    into->subkeys.push_back(std::move(sub));
    into->subkeyIndex.emplace(AsciiLower(raw->name), raw);
  }
  for (auto& value : from->values) into->values.push_back(std::move(value));
  from->subkeys.clear();
  from->values.clear();
}

std::optional<InstallationFacts> Load9x(const std::string& root, const InstallationLayout& layout,
                                        const std::string& user, MemoryRegistry* registry,
                                        std::string* error) {
  InstallationFacts facts;
  MemoryRegistry::Key* machine = registry->FindKey(RootKey::kLocalMachine, "");
  if (!Load(*Child(layout.windowsFolder, "SYSTEM.DAT"), machine, false, error)) return std::nullopt;
  std::vector<UserFile> users;
  if (const auto profiles = Child(layout.windowsFolder, "Profiles")) {
    users = Profiles(*profiles, "USER.DAT");
  }
  MemoryRegistry::Key* currentUser = registry->FindKey(RootKey::kCurrentUser, "");
  const auto picked = PickUser(users, user, &facts.notes, error);
  if (!picked && !error->empty()) return std::nullopt;
  if (picked) {
    if (!Load(picked->path, currentUser, false, error)) return std::nullopt;
  } else if (const auto shared = Child(layout.windowsFolder, "USER.DAT"); IsFile(shared)) {
    MemoryRegistry::Key users9x;
    if (!Load(*shared, &users9x, false, error)) return std::nullopt;
    for (auto& sub : users9x.subkeys) {
      if (EqualsIgnoringCase(sub->name, ".DEFAULT")) Adopt(sub.get(), currentUser);
    }
  }
  facts.windowsDirectory = "C:\\" + layout.windowsName;
  facts.systemDirectory = facts.windowsDirectory + "\\SYSTEM";
  (void)root;
  return facts;
}

std::optional<InstallationFacts> LoadNt(const std::string& root, const InstallationLayout& layout,
                                        const std::string& user, MemoryRegistry* registry,
                                        std::string* error) {
  InstallationFacts facts;
  const std::string config = *ChildPath(layout.windowsFolder, {layout.systemName, "config"});
  if (!Load(*Child(config, "SOFTWARE"), registry->CreateKey(RootKey::kLocalMachine, "SOFTWARE"),
            true, error)) {
    return std::nullopt;
  }
  if (const auto system = Child(config, "SYSTEM"); IsFile(system)) {
    if (!Load(*system, registry->CreateKey(RootKey::kLocalMachine, "SYSTEM"), true, error)) {
      return std::nullopt;
    }
    const uint32_t current =
        Dword(registry->FindKey(RootKey::kLocalMachine, "SYSTEM\\Select"), "Current");
    char name[16];
    std::snprintf(name, sizeof name, "ControlSet%03u", current % 1000);
    if (current != 0 && registry->FindKey(RootKey::kLocalMachine, std::string("SYSTEM\\") + name)) {
      if (!Load(*system, registry->CreateKey(RootKey::kLocalMachine, "SYSTEM\\CurrentControlSet"),
                true, error, name)) {
        return std::nullopt;
      }
    }
  }
  std::vector<UserFile> users;
  for (const char* folder : {"Documents and Settings", "Users"}) {
    if (const auto profiles = Child(root, folder)) {
      for (UserFile& found : Profiles(*profiles, "NTUSER.DAT")) users.push_back(std::move(found));
    }
  }
  const auto picked = PickUser(users, user, &facts.notes, error);
  if (!picked && !error->empty()) return std::nullopt;
  if (picked && !Load(picked->path, registry->FindKey(RootKey::kCurrentUser, ""), true, error)) {
    return std::nullopt;
  }
  // The Windows directory as the registry names it, when that folder is this one.
  std::string windows = "C:\\" + layout.windowsName;
  const std::string systemRoot = Text(
      registry->FindKey(RootKey::kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
      "SystemRoot");
  if (systemRoot.size() > 3 && EqualsIgnoringCase(systemRoot.substr(0, 3), "C:\\") &&
      EqualsIgnoringCase(systemRoot.substr(3), layout.windowsName)) {
    windows = systemRoot;
  }
  facts.windowsDirectory = windows;
  facts.systemDirectory = windows + "\\" + layout.systemName;
  return facts;
}

}  // namespace

std::optional<InstallationLayout> FindInstallation(const std::string& root) {
  InstallationLayout layout;
  std::optional<std::string> windows = WindowsFolderFromMsdosSys(root);
  std::error_code error;
  for (fs::directory_iterator it(root, error), end; !windows && !error && it != end;
       it.increment(error)) {
    const std::string folder = it->path().string();
    if (!it->is_directory(error)) continue;
    if (IsFile(Child(folder, "SYSTEM.DAT")) && IsFile(Child(folder, "WIN.COM"))) windows = folder;
  }
  if (windows) {
    layout.windowsFolder = *windows;
    layout.windowsName = NameOf(*windows);
    layout.systemName = "SYSTEM";
    return layout;
  }
  error.clear();
  for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    const std::string folder = it->path().string();
    const auto system32 = Child(folder, "System32");
    if (system32 && IsFile(ChildPath(*system32, {"config", "SOFTWARE"}))) {
      layout.nt = true;
      layout.windowsFolder = folder;
      layout.windowsName = NameOf(folder);
      layout.systemName = NameOf(*system32);
      return layout;
    }
  }
  return std::nullopt;
}

std::optional<InstallationFacts> LoadInstallation(const std::string& root,
                                                  const InstallationLayout& layout,
                                                  const std::string& user,
                                                  MemoryRegistry* registry, std::string* error) {
  error->clear();
  registry->ShareClassesRoot();
  return layout.nt ? LoadNt(root, layout, user, registry, error)
                   : Load9x(root, layout, user, registry, error);
}

}  // namespace korvane

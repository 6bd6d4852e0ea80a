// Case-insensitive lookups, wildcard searches and file facts on a host folder.
#include "platform/offline/host_drive.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/memory_registry.h"
#include "platform/wildcard.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

std::string DisplayFolder(const WindowsPath& path, size_t count) {
  std::string shown = std::string(1, path.drive) + ":";
  for (size_t i = 0; i < count; ++i) shown += "\\" + path.folders[i];
  return count == 0 ? shown + "\\" : shown;
}

// The root "/" (Wine's drive Z:) must not become "//name".
std::string HostJoin(const std::string& folder, const std::string& name) {
  return folder == "/" ? folder + name : folder + "/" + name;
}

bool IsHostFolder(const std::string& hostPath) {
  std::error_code ignored;
  return fs::is_directory(hostPath, ignored);
}

}  // namespace

std::optional<WindowsPath> SplitWindowsPath(const std::string& path, std::string* whyNot) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '/', '\\');
  const bool hasDrive = p.size() >= 2 && p[1] == ':' &&
                        ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (!hasDrive) {
    *whyNot = "not a full path: offline there is no current folder to find it from";
    return std::nullopt;
  }
  const char drive = static_cast<char>(p[0] & ~0x20);
  if (p.size() < 3 || p[2] != '\\') {
    *whyNot = std::string("not a full path: offline drive ") + drive + ": has no current folder";
    return std::nullopt;
  }
  // Windows drops the spaces and dots that end a path, and one dot that ends a folder
  // name: "C:\WINDOWS\SYSTEM\x.dll " names x.dll.
  if (p.back() != '\\') {
    const size_t lastStart = p.rfind('\\') + 1;
    const std::string last = p.substr(lastStart);
    size_t end = p.size();
    while (last != "." && last != ".." && end > lastStart &&
           (p[end - 1] == '.' || p[end - 1] == ' ')) {
      --end;
    }
    p.erase(end);
  }
  std::vector<std::string> parts;
  size_t start = 3;
  while (start <= p.size()) {
    size_t end = p.find('\\', start);
    if (end == std::string::npos) end = p.size();
    std::string part = p.substr(start, end - start);
    if (end < p.size() && part.size() > 1 && part.back() == '.' && part[part.size() - 2] != '.') {
      part.pop_back();
    }
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  WindowsPath split;
  split.drive = drive;
  // A path that ends in a backslash names a folder, never a file to search for.
  if (!parts.empty() && p.back() != '\\') {
    split.name = parts.back();
    parts.pop_back();
  }
  split.folders = std::move(parts);
  return split;
}

std::string JoinWindowsPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

HostDrive::HostDrive(std::string hostRoot) { drives_['C'] = std::move(hostRoot); }

HostDrive::HostDrive(std::map<char, std::string> drives) : drives_(std::move(drives)) {}

const std::vector<HostDrive::Entry>& HostDrive::Listing(const std::string& hostFolder) {
  auto it = listings_.find(hostFolder);
  if (it != listings_.end()) return it->second;
  std::vector<Entry> entries;
  std::error_code error;
  for (fs::directory_iterator dir(hostFolder, error), end; !error && dir != end;
       dir.increment(error)) {
    std::string name;
    try {
      name = dir->path().filename().string();
    } catch (const std::exception&) {
      continue;  // a name the 8-bit code page cannot spell: no ANSI program sees it either
    }
    entries.push_back({name, AsciiLower(name)});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.lower != b.lower ? a.lower < b.lower : a.name < b.name;
  });
  return listings_.emplace(hostFolder, std::move(entries)).first->second;
}

const HostDrive::Entry* HostDrive::Lookup(const std::string& hostFolder, const std::string& name) {
  const std::vector<Entry>& entries = Listing(hostFolder);
  const std::string lower = AsciiLower(name);
  auto it = std::lower_bound(entries.begin(), entries.end(), lower,
                             [](const Entry& e, const std::string& key) { return e.lower < key; });
  const Entry* found = nullptr;
  // Names that differ only in case cannot both exist on Windows; the exact one wins.
  for (; it != entries.end() && it->lower == lower; ++it) {
    if (found == nullptr || it->name == name) found = &*it;
  }
  return found;
}

std::optional<std::string> HostDrive::ResolveFolder(const WindowsPath& path, std::string* whyNot) {
  const auto drive = drives_.find(path.drive);
  if (drive == drives_.end()) {
    *whyNot = std::string("this machine has no drive ") + path.drive + ":";
    return std::nullopt;
  }
  std::string host = drive->second;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  for (size_t i = 0; i < path.folders.size(); ++i) {
    const Entry* entry = Lookup(host, path.folders[i]);
    const std::string next = entry == nullptr ? std::string() : HostJoin(host, entry->name);
    if (entry == nullptr || !IsHostFolder(next)) {
      *whyNot = DisplayFolder(path, i) + " has no folder " + path.folders[i];
      return std::nullopt;
    }
    host = next;
  }
  return host;
}

std::optional<std::string> HostDrive::Resolve(const std::string& windowsPath, std::string* whyNot) {
  const auto split = SplitWindowsPath(windowsPath, whyNot);
  if (!split) return std::nullopt;
  const auto folder = ResolveFolder(*split, whyNot);
  if (!folder || split->name.empty()) return folder;
  const Entry* entry = Lookup(*folder, split->name);
  if (entry == nullptr) {
    *whyNot = DisplayFolder(*split, split->folders.size()) + " has no " + split->name;
    return std::nullopt;
  }
  return HostJoin(*folder, entry->name);
}

std::optional<FindData> HostDrive::Describe(const std::string& hostPath, const std::string& name,
                                            const AttributeRules& rules) {
#ifdef _WIN32
  struct _stat64 info;
  if (_stat64(hostPath.c_str(), &info) != 0) return std::nullopt;
  const bool readOnly = (info.st_mode & _S_IWRITE) == 0;
  const bool folder = (info.st_mode & _S_IFDIR) != 0;
#else
  struct stat info;
  if (stat(hostPath.c_str(), &info) != 0) return std::nullopt;
  const mode_t writeBits = rules.wine ? (S_IWUSR | S_IWGRP | S_IWOTH) : S_IWUSR;
  const bool readOnly = (info.st_mode & writeBits) == 0;
  const bool folder = S_ISDIR(info.st_mode);
#endif
  FindData data;
  data.name = name;
  data.lastWriteTime = FileTimeFromUnixSeconds(static_cast<int64_t>(info.st_mtime));
  if (folder) {
    data.attributes =
        kFileAttributeDirectory | (rules.wine && readOnly ? kFileAttributeReadOnly : 0);
  } else {
    data.attributes = kFileAttributeArchive | (readOnly ? kFileAttributeReadOnly : 0);
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    data.sizeLow = static_cast<uint32_t>(size);
    data.sizeHigh = static_cast<uint32_t>(size >> 32);
  }
  const bool dotName = name.size() > 1 && name[0] == '.' && name != "..";
  if (rules.wine && !rules.showDotFiles && dotName) data.attributes |= kFileAttributeHidden;
  return data;
}

std::vector<FindData> HostDrive::Find(const std::string& pattern, std::string* whyNot) {
  std::vector<FindData> matches;
  const auto split = SplitWindowsPath(pattern, whyNot);
  if (!split) return matches;
  for (const std::string& folder : split->folders) {
    if (HasWildcard(folder)) {
      *whyNot = "wildcards are allowed in the last name of a path only";
      return matches;
    }
  }
  if (split->name.empty()) {
    *whyNot = "a search needs a file name or pattern after the last backslash";
    return matches;
  }
  const auto folder = ResolveFolder(*split, whyNot);
  if (!folder) return matches;
  const std::string shown = DisplayFolder(*split, split->folders.size());
  if (!HasWildcard(split->name)) {
    const Entry* entry = Lookup(*folder, split->name);
    const auto data = entry == nullptr
                          ? std::nullopt
                          : Describe(HostJoin(*folder, entry->name), entry->name, rules_);
    if (data) matches.push_back(*data);
    if (matches.empty()) *whyNot = shown + " has no " + split->name;
    return matches;
  }
  if (!split->folders.empty()) {
    for (const char* dots : {".", ".."}) {
      if (!MatchesWildcard(split->name, dots)) continue;
      if (auto data = Describe(HostJoin(*folder, dots), dots, rules_)) matches.push_back(*data);
    }
  }
  for (const Entry& entry : Listing(*folder)) {
    if (!MatchesWildcard(split->name, entry.name)) continue;
    if (auto data = Describe(HostJoin(*folder, entry.name), entry.name, rules_))
      matches.push_back(*data);
  }
  if (matches.empty()) *whyNot = "nothing in " + shown + " matches " + split->name;
  return matches;
}

}  // namespace korvane

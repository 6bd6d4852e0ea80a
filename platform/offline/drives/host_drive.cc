// Case-insensitive lookups, wildcard searches and file facts on a host folder.
#include "platform/offline/drives/host_drive.h"

#include <sys/stat.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <filesystem>

#include "platform/ascii.h"
#include "platform/byte_reader.h"
#include "platform/read_stream.h"
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

bool ReadHostFile(const std::string& hostPath, size_t limit, std::string* bytes) {
  std::FILE* file = OpenDiskFile(hostPath);
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[1 << 16];
  size_t got;
  bool ok = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (bytes->size() + got > limit) {
      ok = false;
      break;
    }
    bytes->append(buffer, got);
  }
  if (std::ferror(file)) ok = false;
  std::fclose(file);
  return ok;
}

HostDrive::HostDrive(std::map<char, std::string> drives, AttributeRules rules)
    : drives_(std::move(drives)), rules_(rules) {}

void HostDrive::SetCodePages(const FileNameCodePages& pages) {
  if (pages.ansi == ansi_) return;
  ansi_ = pages.ansi;
  listings_.clear();  // read with the names of another code page
}

const std::vector<HostDrive::Entry>& HostDrive::Listing(const std::string& hostFolder) {
  auto it = listings_.find(hostFolder);
  if (it != listings_.end()) return it->second;
  std::vector<Entry> entries;
  std::error_code error;
  for (fs::directory_iterator dir(hostFolder, error), end; !error && dir != end;
       dir.increment(error)) {
    std::string hostName;
    try {
      hostName = dir->path().filename().string();
    } catch (const std::exception&) {
      continue;  // a name the 8-bit code page cannot spell: no ANSI program sees it either
    }
#ifdef _WIN32
    const std::string name = hostName;  // the host's ANSI calls gave it in its code page
#else
    const std::string name = AnsiFromHostName(hostName, ansi_);
#endif
    entries.push_back({name, FileNameKey(name, ansi_), hostName});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.key != b.key ? a.key < b.key : a.hostName < b.hostName;
  });
  return listings_.emplace(hostFolder, std::move(entries)).first->second;
}

const HostDrive::Entry* HostDrive::Lookup(const std::string& hostFolder, const std::string& name) {
  const std::vector<Entry>& entries = Listing(hostFolder);
  const std::string key = FileNameKey(name, ansi_);
  auto it = std::lower_bound(entries.begin(), entries.end(), key,
                             [](const Entry& e, const std::string& k) { return e.key < k; });
  const Entry* found = nullptr;
  // Names that differ only in case cannot both exist on Windows; the exact one wins.
  for (; it != entries.end() && it->key == key; ++it) {
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
    const std::string next = entry == nullptr ? std::string() : HostJoin(host, entry->hostName);
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
  return HostJoin(*folder, entry->hostName);
}

namespace {

// A partition mounted with ntfs-3g shows each file's own Windows attributes (those of its
// $STANDARD_INFORMATION) as an extended attribute: they are what the live system lists,
// hidden and system included, where the permission bits tell only read-only, and not even
// that under ntfs-3g's default permissions.
std::optional<uint32_t> MountedNtfsAttributes(const std::string& hostPath) {
#ifdef __linux__
  unsigned char value[4];
  if (getxattr(hostPath.c_str(), "system.ntfs_attrib_be", value, sizeof value) != sizeof value)
    return std::nullopt;
  return ByteReader(value, sizeof value).U32BeAt(0);
#else
  (void)hostPath;
  return std::nullopt;
#endif
}

}  // namespace

std::optional<FindData> HostDrive::Describe(const std::string& hostPath, const std::string& name) {
#ifdef _WIN32
  struct _stat64 info;
  if (_stat64(hostPath.c_str(), &info) != 0) return std::nullopt;
  const bool readOnly = (info.st_mode & _S_IWRITE) == 0;
  const bool folder = (info.st_mode & _S_IFDIR) != 0;
#else
  struct stat info;
  if (stat(hostPath.c_str(), &info) != 0) return std::nullopt;
  const mode_t writeBits = rules_.wine ? (S_IWUSR | S_IWGRP | S_IWOTH) : S_IWUSR;
  const bool readOnly = (info.st_mode & writeBits) == 0;
  const bool folder = S_ISDIR(info.st_mode);
#endif
  FindData data;
  data.name = name;
  data.lastWriteTime = FileTimeFromUnixSeconds(static_cast<int64_t>(info.st_mtime));
  if (folder) {
    data.attributes =
        kFileAttributeDirectory | (rules_.wine && readOnly ? kFileAttributeReadOnly : 0);
  } else {
    data.attributes = kFileAttributeArchive | (readOnly ? kFileAttributeReadOnly : 0);
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    data.sizeLow = static_cast<uint32_t>(size);
    data.sizeHigh = static_cast<uint32_t>(size >> 32);
  }
  const bool dotName = name.size() > 1 && name[0] == '.' && name != "..";
  if (rules_.wine && !rules_.showDotFiles && dotName) data.attributes |= kFileAttributeHidden;
  if (!rules_.wine) {
    if (const auto ntfs = MountedNtfsAttributes(hostPath)) {
      data.attributes = AttributesFromNtfsFlags(*ntfs, folder);
    }
  }
  return data;
}

std::vector<FindData> HostDrive::Find(const std::string& pattern, std::string* whyNot) {
  std::vector<FindData> matches;
  const auto split = SplitSearchPattern(pattern, whyNot);
  if (!split) return matches;
  const auto folder = ResolveFolder(*split, whyNot);
  if (!folder) return matches;
  const std::string shown = DisplayFolder(*split, split->folders.size());
  if (!HasWildcard(split->name)) {
    const Entry* entry = Lookup(*folder, split->name);
    const auto data =
        entry == nullptr ? std::nullopt : Describe(HostJoin(*folder, entry->hostName), entry->name);
    if (data) matches.push_back(*data);
    if (matches.empty()) *whyNot = shown + " has no " + split->name;
    return matches;
  }
  if (!split->folders.empty()) {
    for (const char* dots : {".", ".."}) {
      if (!MatchesWildcard(split->name, dots)) continue;
      if (auto data = Describe(HostJoin(*folder, dots), dots)) matches.push_back(*data);
    }
  }
  for (const Entry& entry : Listing(*folder)) {
    if (!MatchesWildcard(split->name, entry.name)) continue;
    if (auto data = Describe(HostJoin(*folder, entry.hostName), entry.name)) {
      matches.push_back(*data);
    }
  }
  if (matches.empty()) *whyNot = "nothing in " + shown + " matches " + split->name;
  return matches;
}

bool HostDrive::Read(const std::string& hostPath, size_t limit, std::string* bytes) {
  return ReadHostFile(hostPath, limit, bytes);
}

std::FILE* HostDrive::Open(const std::string& hostPath) { return OpenDiskFile(hostPath); }

}  // namespace korvane

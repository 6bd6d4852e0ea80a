// The drives of a machine on disk: Windows paths answered from host folders.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace korvane {

// A Windows path taken apart: its drive, its folder names below the drive's root and,
// apart, its last name.
struct WindowsPath {
  char drive = 'C';  // upper case
  std::vector<std::string> folders;
  std::string name;  // empty for C:\ itself
};

// Splits a full path with a drive letter ("C:\WINDOWS\SYSTEM\x.dll", "/" also
// separating), folding "." and ".." as Windows does; nullopt with *whyNot for any other
// path.
std::optional<WindowsPath> SplitWindowsPath(const std::string& path, std::string* whyNot);

// Joins a folder path and a name with one backslash between them.
std::string JoinWindowsPath(const std::string& folder, const std::string& name);

// How host files get their Windows attributes. Described machines: read-only when the
// owner cannot write. Wine: read-only when nobody can write (folders too), and hidden
// when the name starts with "." unless Wine is told to show such files.
struct AttributeRules {
  bool wine = false;
  bool showDotFiles = false;
};

// The files and folders below host folders, one for each drive letter, looked up the way
// Windows looks up names: without regard to case. Listings are read once and kept: a
// machine's description does not change while it is examined.
class HostDrive {
 public:
  // Drive C: only.
  explicit HostDrive(std::string hostRoot);
  // Drive letters (upper case) to host folders.
  explicit HostDrive(std::map<char, std::string> drives);

  // The host path of a file or folder, or nullopt with *whyNot ("C:\WINDOWS has no
  // SYSTEM32 folder").
  std::optional<std::string> Resolve(const std::string& windowsPath, std::string* whyNot);

  // The matches of a FindFirstFileA pattern (wildcards in the last name only), sorted by
  // name without regard to case; "." and ".." come first in a folder below the root,
  // as on a Windows disk. Empty, with *whyNot, when nothing matches.
  std::vector<FindData> Find(const std::string& pattern, std::string* whyNot);

  void SetAttributeRules(const AttributeRules& rules) { rules_ = rules; }

  // Attributes, last-write time and size of a host file, as a file search reports them.
  static std::optional<FindData> Describe(const std::string& hostPath, const std::string& name,
                                          const AttributeRules& rules = AttributeRules());

 private:
  struct Entry {
    std::string name;
    std::string lower;
  };
  const std::vector<Entry>& Listing(const std::string& hostFolder);
  const Entry* Lookup(const std::string& hostFolder, const std::string& name);
  std::optional<std::string> ResolveFolder(const WindowsPath& path, std::string* whyNot);

  std::map<char, std::string> drives_;
  AttributeRules rules_;
  std::map<std::string, std::vector<Entry>> listings_;
};

}  // namespace korvane

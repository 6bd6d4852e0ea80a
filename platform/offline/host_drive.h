// Drive C: of a described machine: Windows paths answered from a host folder.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace korvane {

// A Windows path taken apart: its folder names below C:\ and, apart, its last name.
struct WindowsPath {
  std::vector<std::string> folders;
  std::string name;  // empty for C:\ itself
};

// Splits a full path on drive C: ("C:\WINDOWS\SYSTEM\x.dll", "/" also separating),
// folding "." and ".." as Windows does; nullopt with *whyNot for any other path.
std::optional<WindowsPath> SplitWindowsPath(const std::string& path, std::string* whyNot);

// Joins a folder path and a name with one backslash between them.
std::string JoinWindowsPath(const std::string& folder, const std::string& name);

// The files and folders below a host folder, looked up the way Windows looks up names:
// without regard to case. Listings are read once and kept: a machine's description does
// not change while it is examined.
class HostDrive {
 public:
  explicit HostDrive(std::string hostRoot);

  // The host path of a file or folder, or nullopt with *whyNot ("C:\WINDOWS has no
  // SYSTEM32 folder").
  std::optional<std::string> Resolve(const std::string& windowsPath, std::string* whyNot);

  // The matches of a FindFirstFileA pattern (wildcards in the last name only), sorted by
  // name without regard to case; "." and ".." come first in a folder below the root,
  // as on a Windows disk. Empty, with *whyNot, when nothing matches.
  std::vector<FindData> Find(const std::string& pattern, std::string* whyNot);

  // Attributes, last-write time and size of a host file, as a file search reports them.
  static std::optional<FindData> Describe(const std::string& hostPath, const std::string& name);

 private:
  struct Entry {
    std::string name;
    std::string lower;
  };
  const std::vector<Entry>& Listing(const std::string& hostFolder);
  const Entry* Lookup(const std::string& hostFolder, const std::string& name);
  std::optional<std::string> ResolveFolder(const std::vector<std::string>& folders,
                                           std::string* whyNot);

  std::string root_;
  std::map<std::string, std::vector<Entry>> listings_;
};

}  // namespace korvane

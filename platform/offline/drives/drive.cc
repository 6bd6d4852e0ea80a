// Windows paths taken apart and joined, as every kind of drive needs them.
#include "platform/offline/drives/drive.h"

#include <algorithm>

#include "platform/wildcard.h"

namespace korvane {

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

std::optional<WindowsPath> SplitSearchPattern(const std::string& pattern, std::string* whyNot) {
  auto split = SplitWindowsPath(pattern, whyNot);
  if (!split) return std::nullopt;
  for (const std::string& folder : split->folders) {
    if (HasWildcard(folder)) {
      *whyNot = "wildcards are allowed in the last name of a path only";
      return std::nullopt;
    }
  }
  if (split->name.empty()) {
    *whyNot = "a search needs a file name or pattern after the last backslash";
    return std::nullopt;
  }
  return split;
}

uint32_t AttributesFromNtfsFlags(uint32_t flags, bool folder) {
  if (folder) return flags | kFileAttributeDirectory;
  return flags != 0 ? flags : kFileAttributeNormal;
}

}  // namespace korvane

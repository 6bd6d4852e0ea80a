// Reads one section of ini text (system.ini), as the profile calls do.
#pragma once

#include <string>
#include <vector>

namespace korvane {

// The entries of the first section of ini text named section (without brackets, any
// case), keys and values trimmed, as GetPrivateProfileSectionA reads them. Lines
// without "=" and comments are left out.
struct IniEntry {
  std::string key;
  std::string value;
};
std::vector<IniEntry> ReadIniSection(const std::string& text, const std::string& section);

}  // namespace korvane

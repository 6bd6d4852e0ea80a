// One section of ini text, keys and values trimmed.
#include "platform/offline/formats/ini_section.h"

#include "platform/memory_registry.h"
#include "platform/offline/formats/text_lines.h"

namespace korvane {

std::vector<IniEntry> ReadIniSection(const std::string& text, const std::string& section) {
  std::vector<IniEntry> entries;
  bool inSection = false;
  bool done = false;
  for (const std::string& raw : SplitTextLines(text)) {
    const std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (inSection) done = true;
      const size_t close = line.find(']');
      inSection = !done && close != std::string::npos &&
                  EqualsIgnoringCase(TrimBlanks(line.substr(1, close - 1)), section);
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) continue;
    entries.push_back({TrimBlanks(line.substr(0, equals)), TrimBlanks(line.substr(equals + 1))});
  }
  return entries;
}

}  // namespace korvane

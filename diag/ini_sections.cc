// system.ini read as plain text: one section listed, or its drivers loaded.
#include <cstdio>
#include <cstring>
#include <functional>

#include "diag/diag_steps.h"

namespace korvane {
namespace {

// Each read takes at most 509 characters (a read size of 510 with the terminating zero),
// so a longer line arrives in pieces that go through the scan one by one.
constexpr int kLineReadSize = 510;
constexpr size_t kLineBuffer = 512;

using EntryAction = std::function<void(const std::string& line)>;

// The Windows directory, a backslash when it lacks one, and the file name.
bool IniFilePath(System& system, const std::string& fileName, std::string* path) {
  const std::string dir = system.GetWindowsDirectoryA();
  *path = dir;
  if (!path->empty() && path->back() != '\\') *path += '\\';
  *path += fileName;
  // The directory is asked for with a size of 511, the whole path must fit 512 bytes.
  return dir.size() + 1 <= kLongPathBuffer - 1 && path->size() < kLongPathBuffer;
}

// Removes any mix of line feeds and carriage returns from the end, nothing else.
size_t StripLineEnd(char* line) {
  size_t length = std::strlen(line);
  while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) {
    line[--length] = '\0';
  }
  return length;
}

// Reads the whole file and hands every entry line of each occurrence of header to action.
int ScanIniSection(System& system, const std::string& fileName, const std::string& header,
                   const EntryAction& action) {
  std::string path;
  if (!IniFilePath(system, fileName, &path)) {
    ReportPathTooLong(path);
    return 0;
  }
  std::FILE* file = system.OpenFileForReading(path);
  if (file == nullptr) {
    AddReportLine("can't open %s", path);
    return 0;
  }
  char line[kLineBuffer] = {};
  bool inSection = false;
  while (std::fgets(line, kLineReadSize, file) != nullptr) {
    const size_t length = StripLineEnd(line);
    if (length == 0 || line[0] == ';') continue;
    if (header == line) {
      AddReportLine("%s", header);
      inSection = true;
    } else if (line[0] == '[') {
      inSection = false;
    } else if (inSection) {
      action(std::string(line, length));
    }
  }
  std::fclose(file);
  return 1;
}

// The value of an entry: after the first '=', past any run of '=' and ' '.
bool EntryValue(const std::string& line, std::string* value) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  const size_t start = line.find_first_not_of("= ", equals + 1);
  if (start == std::string::npos) return false;
  *value = line.substr(start);
  // A wildcard names a family of drivers, not a file that could be loaded.
  return value->find('*') == std::string::npos;
}

void LoadEntryDriver(System& system, ReportWindow& window, const std::string& line) {
  std::string value;
  if (!EntryValue(line, &value)) return;
  std::string prefix;
  const bool prefixFits = SystemDirWithSlash(system, kLongPathBuffer, &prefix);
  ProbeDriver(system, value, prefix, prefixFits);
  // Loading can be slow: show each line as soon as it is written.
  window.Repaint();
}

}  // namespace

int ListIniSection(System& system, const std::string& fileName, const std::string& header) {
  return ScanIniSection(system, fileName, header,
                        [](const std::string& line) { AddReportLine("%s", line); });
}

int LoadIniSectionDrivers(System& system, ReportWindow& window, const std::string& fileName,
                          const std::string& header) {
  return ScanIniSection(system, fileName, header,
                        [&](const std::string& line) { LoadEntryDriver(system, window, line); });
}

}  // namespace korvane

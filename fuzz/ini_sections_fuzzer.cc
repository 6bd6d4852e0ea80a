// Any system.ini bytes, any directory lengths, through the section listing and driver loading.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "diag/diag_steps.h"
#include "fuzz/null_system.h"

namespace {

using korvane::FileSearch;
using korvane::FindData;
using korvane::LibraryHandle;

constexpr size_t kPathBuffer = 512;
const char* const kHeaders[] = {"[drivers32]", "[drivers]", "[boot.description]", "["};

class OneMatch : public FileSearch {
 public:
  OneMatch() { found_.name = "x.dll"; }
  const FindData& Current() const override { return found_; }
  bool FindNextFileA() override { return false; }

 private:
  FindData found_;
};

// system.ini holds the fuzz bytes; library files exist and load by the length of their path,
// so that every branch of the probe is taken.
class IniMachine : public korvane::fuzz::NullSystem {
 public:
  std::string GetWindowsDirectoryA() override { return windowsDirectory; }
  std::string GetSystemDirectoryA() override { return systemDirectory; }
  std::FILE* OpenFileForReading(const std::string& path) override {
    if (path.size() >= kPathBuffer) std::abort();  // would not have fit the path buffer
    if (contents.empty()) return std::fopen("/dev/null", "rb");
    return fmemopen(const_cast<char*>(contents.data()), contents.size(), "rb");
  }
  std::unique_ptr<FileSearch> FindFirstFileA(const std::string& path) override {
    if (path.size() >= kPathBuffer) std::abort();
    if (path.size() % 2 == 0) return nullptr;
    return std::make_unique<OneMatch>();
  }
  LibraryHandle LoadLibraryA(const std::string& path, std::string*) override {
    if (path.size() % 3 != 0) return 0;
    ++loaded;
    return 1;
  }
  void FreeLibrary(LibraryHandle) override { --loaded; }

  std::string windowsDirectory;
  std::string systemDirectory;
  std::string contents;
  int loaded = 0;
};

// A directory of 0 to 513 characters: empty, or C:\ and a run of one letter.
std::string Directory(uint8_t length, char letter) {
  return length == 0 ? std::string() : "C:\\" + std::string(length * 2u, letter);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void CheckListing(const std::vector<std::string>& lines, const std::string& header,
                  const std::string& contents) {
  for (const std::string& line : lines) {
    if (line == header) continue;
    if (line.empty() || line[0] == ';' || line[0] == '[' || line.size() > 509) std::abort();
    if (contents.find(line) == std::string::npos) std::abort();
  }
}

void CheckLoading(const korvane::ReportLines& window, const std::string& header) {
  int probes = 0;
  for (const std::string& line : window.lines) {
    if (line == header) continue;
    if (!EndsWith(line, " Not found") && !EndsWith(line, " Loaded Ok") &&
        !EndsWith(line, " Failed to load") && !EndsWith(line, " - path too long")) {
      std::abort();
    }
    ++probes;
  }
  // Each entry that names a driver gives one line and shows it at once.
  if (window.repaints != probes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  IniMachine machine;
  const std::string header = kHeaders[data[0] & 3];
  const bool load = (data[0] & 4) != 0;
  machine.windowsDirectory = Directory(data[1], 'w');
  machine.systemDirectory = Directory(data[2], 's');
  machine.contents.assign(reinterpret_cast<const char*>(data + 3), size - 3);

  korvane::ReportLines window;
  korvane::SetMainWindow(&window);
  const int result = load ? korvane::LoadIniSectionDrivers(machine, window, "system.ini", header)
                          : korvane::ListIniSection(machine, "system.ini", header);
  korvane::SetMainWindow(nullptr);

  for (const std::string& line : window.lines) {
    if (line.size() >= korvane::kFormatLimit || line.find('\0') != std::string::npos) std::abort();
  }
  if (machine.loaded != 0) std::abort();  // every library that loaded was freed
  if (result == 0) {
    // Refused or unopened: one line saying so, and nothing of the file.
    if (window.lines.size() != 1) std::abort();
    return 0;
  }
  if (load) {
    CheckLoading(window, header);
  } else {
    CheckListing(window.lines, header, machine.contents);
  }
  return 0;
}

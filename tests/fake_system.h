// The small in-memory Windows machine of the logic's tests: files, libraries that load or
// fail with a reason, system.ini, capture drivers and a registry; it records what was
// asked of it.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory_registry.h"
#include "platform/registry_backed_system.h"
#include "platform/system.h"
#include "report/report.h"

namespace korvane::test {

class FakeSystem : public RegistryBackedSystem {
 public:
  // A file or folder by its full Windows path. Searches deliver entries in the order
  // they were added; contents are what OpenFileForReading gives.
  struct Entry {
    std::string path;
    uint32_t attributes = kFileAttributeArchive;
    uint64_t lastWriteTime = 0;
    uint32_t sizeLow = 0;
    std::string contents;
  };
  Entry& AddFile(const std::string& path, const std::string& contents = "");
  Entry& AddFolder(const std::string& path);
  // A file that loads as a library; LoadLibraryA fails for every other path.
  Entry& AddLibrary(const std::string& path);
  // The same, by its name in the system directory.
  Entry& AddSystemLibrary(const std::string& name);
  // A file in the system directory that fails to load, for the reason given.
  void AddBrokenLibrary(const std::string& name, const std::string& whyNot);
  // system.ini in the Windows directory.
  void SetSystemIni(const std::string& text);
  // A value of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\drivers32.
  void AddRegistryDriver(const std::string& name, const std::string& value);

  // Kernel.
  bool GetVersionExA(OsVersion* version) override;
  std::string GetWindowsDirectoryA() override { return windowsDirectory; }
  std::string GetSystemDirectoryA() override { return systemDirectory; }
  std::unique_ptr<FileSearch> FindFirstFileA(const std::string& pattern) override;
  std::FILE* OpenFileForReading(const std::string& windowsPath) override;
  LibraryHandle LoadLibraryA(const std::string& path, std::string* whyNot) override;
  void FreeLibrary(LibraryHandle library) override;

  uint32_t VideoForWindowsVersion() override { return vfwVersion; }
  uint32_t GetACP() override { return ansiCodePage; }
  bool capGetDriverDescriptionA(unsigned index, std::string* name, std::string* version) override;

  // Registry: the MemoryRegistry below; values set are recorded.
  long RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override;

  // The machine.
  OsVersion version{4, 10, 0x040A08AE, kPlatformWin9x, " A "};
  bool versionFails = false;
  uint32_t vfwVersion = 0x040003B6;
  uint32_t ansiCodePage = 1252;  // GetACP
  std::string windowsDirectory = "C:\\WINDOWS";
  std::string systemDirectory = "C:\\WINDOWS\\SYSTEM";
  std::map<unsigned, std::pair<std::string, std::string>> captureDrivers;
  MemoryRegistry registry;

  // What was asked.
  std::vector<std::string> loadAttempts;
  std::vector<unsigned> captureIndexesAsked;
  std::vector<std::string> openedFiles;
  std::vector<std::string> valuesSet;  // names given to RegSetValueExA, in order
  size_t openSearches = 0;             // searches not yet closed
  size_t loadedLibraries = 0;          // libraries not yet freed
  size_t freedLibraries = 0;           // FreeLibrary calls
  size_t keysOpenAtLoad = 0;           // most registry keys open during any load

 protected:
  RegistryCalls& Registry() override { return registry; }

 private:
  std::deque<Entry> entries_;                        // references handed out stay valid
  std::set<std::string> loadable_;                   // lower-case paths
  std::map<std::string, std::string> brokenWhyNot_;  // lower-case path to the reason
};

// A report window that remembers after which line each repaint came.
class RecordingWindow : public ReportLines {
 public:
  void Repaint() override {
    ReportLines::Repaint();
    repaintsAfterLine.push_back(lines.size());
  }
  std::vector<size_t> repaintsAfterLine;
};

// A FILETIME for a calendar date and time of day in UTC.
uint64_t FileTimeUtc(int year, int month, int day, int hour = 12, int minute = 0);

}  // namespace korvane::test

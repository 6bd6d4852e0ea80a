// The in-memory machine of the tests: files, libraries, capture drivers and a registry.
#include "tests/fake_system.h"

#include <algorithm>
#include <cstdio>

#include "platform/ascii.h"
#include "platform/wildcard.h"

namespace korvane::test {
namespace {

std::pair<std::string, std::string> SplitDirectory(const std::string& path) {
  const size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

class FakeSearch : public FileSearch {
 public:
  FakeSearch(std::vector<FindData> matches, size_t* openSearches)
      : matches_(std::move(matches)), openSearches_(openSearches) {
    ++*openSearches_;
  }
  ~FakeSearch() override { --*openSearches_; }
  const FindData& Current() const override { return matches_[current_]; }
  bool FindNextFileA() override {
    if (current_ + 1 >= matches_.size()) return false;
    ++current_;
    return true;
  }

 private:
  std::vector<FindData> matches_;
  size_t current_ = 0;
  size_t* openSearches_;
};

int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

uint64_t FileTimeUtc(int year, int month, int day, int hour, int minute) {
  return FileTimeFromUnixSeconds(DaysFromCivil(year, month, day) * 86400 + hour * 3600 +
                                 minute * 60);
}

FakeSystem::Entry& FakeSystem::AddFile(const std::string& path, const std::string& contents) {
  // Writing a file again replaces it where it stands in the search order.
  for (Entry& existing : entries_) {
    if (EqualsIgnoringCase(existing.path, path)) {
      existing.contents = contents;
      existing.sizeLow = static_cast<uint32_t>(contents.size());
      return existing;
    }
  }
  Entry entry;
  entry.path = path;
  entry.contents = contents;
  entry.sizeLow = static_cast<uint32_t>(contents.size());
  entry.lastWriteTime = FileTimeUtc(1999, 4, 23);
  entries_.push_back(entry);
  return entries_.back();
}

FakeSystem::Entry& FakeSystem::AddFolder(const std::string& path) {
  Entry& entry = AddFile(path);
  entry.attributes = kFileAttributeDirectory;
  return entry;
}

FakeSystem::Entry& FakeSystem::AddLibrary(const std::string& path) {
  loadable_.insert(AsciiLower(path));
  return AddFile(path, std::string(512, 'M'));
}

FakeSystem::Entry& FakeSystem::AddSystemLibrary(const std::string& name) {
  return AddLibrary(systemDirectory + "\\" + name);
}

void FakeSystem::AddBrokenLibrary(const std::string& name, const std::string& whyNot) {
  const std::string path = systemDirectory + "\\" + name;
  AddFile(path, "MZ");
  brokenWhyNot_[AsciiLower(path)] = whyNot;
}

void FakeSystem::SetSystemIni(const std::string& text) {
  AddFile(windowsDirectory + "\\system.ini", text);
}

void FakeSystem::AddRegistryDriver(const std::string& name, const std::string& value) {
  MemoryRegistry::SetString(
      registry.CreateKey(RootKey::kLocalMachine,
                         "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32"),
      name, value);
}

bool FakeSystem::GetVersionExA(OsVersion* out) {
  if (versionFails) return false;
  *out = version;
  return true;
}

std::unique_ptr<FileSearch> FakeSystem::FindFirstFileA(const std::string& pattern) {
  const auto [directory, namePattern] = SplitDirectory(pattern);
  std::vector<FindData> matches;
  for (const Entry& entry : entries_) {
    const auto [entryDirectory, name] = SplitDirectory(entry.path);
    if (!EqualsIgnoringCase(entryDirectory, directory)) continue;
    if (!MatchesWildcard(namePattern, name)) continue;
    FindData found;
    found.attributes = entry.attributes;
    found.lastWriteTime = entry.lastWriteTime;
    found.sizeLow = entry.sizeLow;
    found.name = name;
    matches.push_back(found);
  }
  if (matches.empty()) return nullptr;
  return std::make_unique<FakeSearch>(std::move(matches), &openSearches);
}

std::FILE* FakeSystem::OpenFileForReading(const std::string& windowsPath) {
  openedFiles.push_back(windowsPath);
  for (const Entry& entry : entries_) {
    if (!EqualsIgnoringCase(entry.path, windowsPath)) continue;
    if ((entry.attributes & kFileAttributeDirectory) != 0) return nullptr;
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return nullptr;
    std::fwrite(entry.contents.data(), 1, entry.contents.size(), file);
    std::rewind(file);
    return file;
  }
  return nullptr;
}

LibraryHandle FakeSystem::LoadLibraryA(const std::string& path, std::string* whyNot) {
  loadAttempts.push_back(path);
  keysOpenAtLoad = std::max(keysOpenAtLoad, registry.OpenHandleCount());
  if (loadable_.count(AsciiLower(path)) == 0) {
    const auto broken = brokenWhyNot_.find(AsciiLower(path));
    if (whyNot != nullptr) {
      *whyNot = broken != brokenWhyNot_.end() ? broken->second : "not a library of this machine";
    }
    return 0;
  }
  ++loadedLibraries;
  return 0x10000000u + loadAttempts.size();
}

void FakeSystem::FreeLibrary(LibraryHandle) {
  --loadedLibraries;
  ++freedLibraries;
}

bool FakeSystem::capGetDriverDescriptionA(unsigned index, std::string* name,
                                          std::string* versionText) {
  captureIndexesAsked.push_back(index);
  const auto driver = captureDrivers.find(index);
  if (driver == captureDrivers.end()) return false;
  *name = driver->second.first;
  *versionText = driver->second.second;
  return true;
}

long FakeSystem::RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                                const std::vector<uint8_t>& data) {
  valuesSet.push_back(name);
  return registry.RegSetValueExA(key, name, type, data);
}

}  // namespace korvane::test

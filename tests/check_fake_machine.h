// A Windows machine in memory for the decoder check's tests: system.ini text, a
// registry, library files that load or fail, and a record of what was loaded.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/memory_registry.h"
#include "platform/system.h"

namespace korvane::test {

class FakeMachine : public System {
 public:
  // A 9x machine by default; set platformId to kPlatformWinNt for an NT one.
  OsVersion version{4, 10, 0x040A08AE, kPlatformWin9x, ""};
  std::string windowsDir = "C:\\WINDOWS";
  std::string systemDir = "C:\\WINDOWS\\SYSTEM";
  std::map<std::string, std::string> files;             // by Windows path, compared lower-cased
  std::map<std::string, std::string> failingLibraries;  // path (lower case) -> why not
  MemoryRegistry registry;
  std::vector<std::string> loaded;  // paths given to LoadLibraryA
  int freed = 0;

  void AddFile(const std::string& path, const std::string& bytes = "MZ") {
    files[AsciiLower(path)] = bytes;
  }
  void AddLibrary(const std::string& name) { AddFile(systemDir + "\\" + name); }
  void AddBrokenLibrary(const std::string& name, const std::string& whyNot) {
    AddLibrary(name);
    failingLibraries[AsciiLower(systemDir + "\\" + name)] = whyNot;
  }
  void SetSystemIni(const std::string& text) { AddFile(windowsDir + "\\system.ini", text); }
  void AddRegistryDriver(const std::string& name, const std::string& value) {
    MemoryRegistry::SetString(
        registry.CreateKey(RootKey::kLocalMachine,
                           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32"),
        name, value);
  }

  bool GetVersionExA(OsVersion* out) override {
    *out = version;
    return true;
  }
  std::string GetWindowsDirectoryA() override { return windowsDir; }
  std::string GetSystemDirectoryA() override { return systemDir; }

  std::unique_ptr<FileSearch> FindFirstFileA(const std::string& pattern) override {
    const auto found = files.find(AsciiLower(pattern));
    if (found == files.end()) return nullptr;
    auto search = std::make_unique<OneMatch>();
    search->data.attributes = kFileAttributeArchive;
    search->data.sizeLow = static_cast<uint32_t>(found->second.size());
    search->data.name = pattern.substr(pattern.find_last_of('\\') + 1);
    return search;
  }

  std::FILE* OpenFileForReading(const std::string& windowsPath) override {
    const auto found = files.find(AsciiLower(windowsPath));
    if (found == files.end()) return nullptr;
    std::FILE* file = std::tmpfile();
    std::fwrite(found->second.data(), 1, found->second.size(), file);
    std::rewind(file);
    return file;
  }

  LibraryHandle LoadLibraryA(const std::string& path, std::string* whyNot) override {
    loaded.push_back(path);
    const std::string key = AsciiLower(path);
    if (files.count(key) == 0) {
      if (whyNot) *whyNot = "file not found";
      return 0;
    }
    const auto failing = failingLibraries.find(key);
    if (failing != failingLibraries.end()) {
      if (whyNot) *whyNot = failing->second;
      return 0;
    }
    return 0x10000 + loaded.size();
  }
  void FreeLibrary(LibraryHandle) override { ++freed; }

  uint32_t VideoForWindowsVersion() override { return 0x040A0000; }
  bool capGetDriverDescriptionA(unsigned, std::string*, std::string*) override { return false; }

  long RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access, RegKey* key) override {
    return registry.RegOpenKeyExA(root, path, access, key);
  }
  long RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                       RegKey* key) override {
    return registry.RegCreateKeyExA(root, path, access, key);
  }
  long RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                     RegValue* value) override {
    return registry.RegEnumValueA(key, index, nameCapacity, dataCapacity, value);
  }
  long RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity,
                     std::string* name) override {
    return registry.RegEnumKeyExA(key, index, nameCapacity, name);
  }
  long RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                        RegValue* value) override {
    return registry.RegQueryValueExA(key, name, dataCapacity, value);
  }
  long RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override {
    return registry.RegSetValueExA(key, name, type, data);
  }
  long RegCloseKey(RegKey key) override { return registry.RegCloseKey(key); }

 private:
  class OneMatch : public FileSearch {
   public:
    const FindData& Current() const override { return data; }
    bool FindNextFileA() override { return false; }
    FindData data;
  };
};

}  // namespace korvane::test

// A machine that has nothing: every file is missing and every key absent. Fuzz targets
// derive from it and answer only the questions their input is about.
#pragma once

#include "platform/system.h"

namespace korvane::fuzz {

class NullSystem : public System {
 public:
  bool GetVersionExA(OsVersion*) override { return false; }
  std::string GetWindowsDirectoryA() override { return "C:\\WINDOWS"; }
  std::string GetSystemDirectoryA() override { return "C:\\WINDOWS\\SYSTEM"; }
  std::unique_ptr<FileSearch> FindFirstFileA(const std::string&) override { return nullptr; }
  std::FILE* OpenFileForReading(const std::string&) override { return nullptr; }
  LibraryHandle LoadLibraryA(const std::string&, std::string*) override { return 0; }
  void FreeLibrary(LibraryHandle) override {}
  uint32_t VideoForWindowsVersion() override { return 0; }
  bool capGetDriverDescriptionA(unsigned, std::string*, std::string*) override { return false; }
  long RegOpenKeyExA(RootKey, const std::string&, uint32_t, RegKey*) override {
    return kErrorFileNotFound;
  }
  long RegCreateKeyExA(RootKey, const std::string&, uint32_t, RegKey*) override {
    return kErrorAccessDenied;
  }
  long RegEnumValueA(RegKey, uint32_t, uint32_t, uint32_t, RegValue*) override {
    return kErrorNoMoreItems;
  }
  long RegEnumKeyExA(RegKey, uint32_t, uint32_t, std::string*) override {
    return kErrorNoMoreItems;
  }
  long RegQueryValueExA(RegKey, const std::string&, uint32_t, RegValue*) override {
    return kErrorFileNotFound;
  }
  long RegSetValueExA(RegKey, const std::string&, uint32_t, const std::vector<uint8_t>&) override {
    return kErrorAccessDenied;
  }
  long RegCloseKey(RegKey) override { return kErrorSuccess; }
};

}  // namespace korvane::fuzz

// Wine prefixes built by the tests in a scratch folder: system.reg and user.reg in Wine's
// own text format, drive_c/ and the drive links of dosdevices/.
#pragma once

#include <filesystem>
#include <string>

#include "tests/test_support.h"

namespace korvane::test {

// Keys are written as Wine writes them: [Software\\Microsoft\\...] with doubled
// backslashes, a timestamp, then "name"="text", "name"=dword:..., "name"=hex:....
class WinePrefixFolder {
 public:
  explicit WinePrefixFolder(const std::string& arch = "win64") : arch_(arch) {
    std::filesystem::create_directories(path() + "/drive_c/windows/system32");
    std::filesystem::create_directories(path() + "/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", path() + "/dosdevices/c:");
    SystemReg("");
    UserReg("");
  }
  std::string path() const { return scratch_.path() + "/prefix"; }
  const std::string& scratch() const { return scratch_.path(); }

  void SystemReg(const std::string& body) {
    scratch_.Write("prefix/system.reg", Header("REGISTRY\\\\Machine") + body);
  }
  void UserReg(const std::string& body) {
    scratch_.Write("prefix/user.reg", Header("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000") + body);
  }
  // A file below drive C:, by a path such as "windows/syswow64/x.dll"; returns its host path.
  std::string File(const std::string& belowC, const std::string& bytes) {
    return scratch_.Write("prefix/drive_c/" + belowC, bytes);
  }
  // dosdevices/LETTER: pointing at target (relative to dosdevices/ or absolute).
  void Drive(char letter, const std::string& target) {
    std::filesystem::create_directory_symlink(
        target, path() + "/dosdevices/" + std::string(1, letter) + ":");
  }

 private:
  std::string Header(const std::string& relativeTo) const {
    return "WINE REGISTRY Version 2\n;; All keys relative to " + relativeTo + "\n\n#arch=" + arch_ +
           "\n\n";
  }
  ScratchDir scratch_;
  std::string arch_;
};

// What Wine puts in system32 for each of its own libraries: a PE stub that says so.
inline std::string WinePlaceholderDll() {
  std::string bytes(0x40, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  return bytes + std::string("Wine placeholder DLL\0\0\0\0", 24) + std::string(64, '\0');
}

}  // namespace korvane::test

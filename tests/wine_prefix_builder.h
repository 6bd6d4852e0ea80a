// Wine prefixes built by the tests in a scratch folder: system.reg and user.reg in Wine's
// own text format, drive_c/ and the drive links of dosdevices/.
#pragma once

#include <filesystem>
#include <string>

#include "platform/offline/formats/pe_image.h"
#include "tests/pe_builder.h"
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

// A 64-bit prefix whose two sides differ where a program would see it: the 64-bit side
// and the 32-bit side (below Wow6432Node) name different drivers and programs, the
// classes are shared. Wine's msvfw32 is in both system directories with a codec of each
// machine type beside it, system.ini names the 32-bit codec, drive D: is ../../media
// (its Codecs folder empty) and Z: the host's root.
inline void FillTwoSidedPrefix(WinePrefixFolder* folder) {
  folder->SystemReg(
      "[Software\\\\Classes\\\\AVIFile] 1700000000\n@=\"AVI File\"\n"
      "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
      "\"CSDVersion\"=\"Service Pack 1\"\n\"CurrentBuildNumber\"=\"7601\"\n"
      "\"CurrentVersion\"=\"6.1\"\n"
      "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Drivers32] 1700000000\n"
      "\"msvideo\"=\"cap64.dll\"\n\"vidc.cvid\"=\"codec64.dll\"\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App64] 1700000000\n"
      "\"DisplayName\"=\"A 64-bit program\"\n"
      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Drivers32] 1\n"
      "\"vidc.cvid\"=\"codec32.dll\"\n"
      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App32] "
      "1\n"
      "\"DisplayName\"=\"A 32-bit program\"\n");
  folder->File("windows/system.ini", "[drivers32]\r\nvidc.cvid=codec32.dll\r\n");
  for (const char* dir : {"system32", "syswow64"}) {
    folder->File(std::string("windows/") + dir + "/msvfw32.dll", WinePlaceholderDll());
  }
  auto dll = [](uint16_t machine, std::vector<std::string> imports) {
    PeSpec spec;
    spec.machine = machine;
    spec.imports = std::move(imports);
    return BuildPe(spec);
  };
  folder->File("windows/system32/codec64.dll", dll(kMachineX8664, {"MSVFW32.DLL"}));
  folder->File("windows/system32/lost64.dll", dll(kMachineX8664, {"NOSUCH.DLL"}));
  folder->File("windows/syswow64/codec32.dll", dll(kMachineI386, {"msvfw32.dll"}));
  folder->File("windows/syswow64/wide.dll", dll(kMachineX8664, {}));
  std::filesystem::create_directories(folder->scratch() + "/media/Codecs");
  folder->Drive('d', "../../media");
  folder->Drive('z', "/");
}

}  // namespace korvane::test

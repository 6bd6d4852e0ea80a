// Described machines built by the tests in a scratch folder.
#pragma once

#include <filesystem>
#include <string>

#include "tests/test_support.h"

namespace korvane::test {

// A machine folder: c/ for drive C:, registry.reg (REGEDIT4 until told otherwise) and,
// when written, machine.ini. Files are placed by their path below C:\.
class MachineFolder {
 public:
  MachineFolder() {
    std::filesystem::create_directory(scratch_.path() + "/c");
    Registry("");
  }
  const std::string& path() const { return scratch_.path(); }

  // registry.reg: the REGEDIT4 line followed by body.
  void Registry(const std::string& body) {
    scratch_.Write("registry.reg", "REGEDIT4\r\n\r\n" + body);
  }
  void RawRegistry(const std::string& bytes) { scratch_.Write("registry.reg", bytes); }
  void MachineIni(const std::string& text) { scratch_.Write("machine.ini", text); }
  // A file below drive C:, by a path such as "WINDOWS/SYSTEM/x.dll"; returns its host path.
  std::string File(const std::string& belowC, const std::string& bytes) {
    return scratch_.Write("c/" + belowC, bytes);
  }

 private:
  ScratchDir scratch_;
};

}  // namespace korvane::test

// Whether a library would load on a machine on disk: its image and, recursively, the
// libraries it imports.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/offline/drives/drive.h"

namespace korvane {

class LibraryCheck {
 public:
  // Imports are looked for in the loaded library's own folder, then in each of
  // searchFolders (the system and the Windows directory), as Windows searches them.
  LibraryCheck(Drive& drive, std::vector<std::string> searchFolders, uint16_t machine);

  // On a Wine prefix: a file that Wine marks as its own builtin or placeholder DLL
  // loads, since Wine loads its own library in its place.
  void AcceptWineBuiltins() { wineBuiltins_ = true; }

  // True when the library at windowsPath loads; otherwise *whyNot says why in plain
  // words ("imports MSVCRT20.DLL, which is not on this machine").
  bool Loads(const std::string& windowsPath, std::string* whyNot);

 private:
  bool Check(const std::string& windowsPath, int depth, std::string* whyNot);
  bool CheckImports(const std::vector<std::string>& imports, int depth, std::string* whyNot);
  std::string FindImport(const std::string& name);

  Drive& drive_;
  std::vector<std::string> searchFolders_;
  uint16_t machine_;
  bool wineBuiltins_ = false;
  std::vector<std::string> folders_;  // for one Loads call: own folder, then searchFolders_
  std::set<std::string> seen_;        // host paths already checked in this call
};

}  // namespace korvane

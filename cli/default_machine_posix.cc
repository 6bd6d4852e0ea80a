// Away from Windows there is no machine to examine unless a described one is named.
#include "cli/default_machine.h"

namespace korvane {

std::unique_ptr<System> OpenDefaultMachine(std::string* error) {
  *error = "no machine given: use --machine DIR (a described machine folder)";
  return nullptr;
}

}  // namespace korvane

// Where korvane's own modules are: beside the program in a build folder, or in its private
// library folder once installed. Linux builds only.
#pragma once

#include <string>
#include <vector>

namespace korvane {

// The places a module file of that name may be, in the order they are tried: beside the
// running program, then in KORVANE_MODULE_DIR relative to the program's folder.
std::vector<std::string> ModuleCandidates(const std::string& fileName);

// dlerror()'s text, or "unknown error" when it has none.
std::string LastLoaderError();

}  // namespace korvane

// ASCII text helpers: case folding and trimming as Windows names and ini lines need them.
#pragma once

#include <string>

namespace korvane {

// Lower-cases ASCII letters only, the way registry and file names compare here.
std::string AsciiLower(const std::string& text);
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

// Without leading and trailing spaces and tabs.
std::string TrimBlanks(const std::string& text);

}  // namespace korvane

// File-name patterns as FindFirstFileA matches them.
#pragma once

#include <string>

namespace korvane {

// True when name matches pattern: '*' any run of characters, '?' any one character,
// letters without regard to case; a trailing ".*" also matches a name without a dot,
// so "*.*" matches every name and "msvc*.*" matches "msvcrt" as well as "msvcrt.dll".
bool MatchesWildcard(const std::string& pattern, const std::string& name);

bool HasWildcard(const std::string& pattern);

}  // namespace korvane

// What the registry file loaders share: their limits, and the in-memory file through which
// bytes read out of a disk image reach libraries that open files by name. Each loader has
// a header of its own (nt_hive.h, creg_file.h); no library type leaves their files.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace korvane {

// Keys deeper than this below a file's root are refused, as Windows refuses them; it also
// ends a walk through a file whose keys point at each other.
constexpr int kRegistryDepthLimit = 512;

// Hands bytes to load as the path of an anonymous in-memory file holding them.
std::optional<std::string> ThroughMemoryFile(
    const std::string& bytes,
    const std::function<std::optional<std::string>(const std::string&)>& load);

// Registry files larger than this are refused.
constexpr size_t kRegistryFileLimit = size_t{1} << 30;

}  // namespace korvane

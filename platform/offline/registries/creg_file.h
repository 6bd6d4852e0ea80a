// Windows 9x registry files (SYSTEM.DAT, USER.DAT) read with libcreg into a MemoryRegistry.
#pragma once

#include <optional>
#include <string>

#include "platform/memory_registry.h"

namespace korvane {

// Loads the keys and values below the root key of the file at path as subkeys and values
// of into: names and text are the file's own 8-bit text; REG_SZ data without its
// terminating zero (as 9x often stores it) gets one, as RegQueryValueExA delivers it.
// On failure nothing is promised about into, and the message (without the file name)
// says why.
std::optional<std::string> LoadCregFile(const std::string& path, MemoryRegistry::Key* into);

// The same from bytes in memory (a file read out of a disk image).
std::optional<std::string> LoadCregBytes(const std::string& bytes, MemoryRegistry::Key* into);

}  // namespace korvane

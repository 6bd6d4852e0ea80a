// NT registry hives (SOFTWARE, SYSTEM, NTUSER.DAT, UsrClass.dat) read with hivex into a
// MemoryRegistry.
#pragma once

#include <optional>
#include <string>

#include "platform/memory_registry.h"
#include "platform/text_encoding.h"

namespace korvane {

// Loads the keys and values below the root key of the hive at path as subkeys and
// values of into. Names reach the registry as the ANSI calls return them: UTF-16 names
// and REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data narrowed to the machine's code page
// ('?' for a character it lacks). Subkeys keep the hive's order (sorted by upper-case name, as
// Windows enumerates them), values their order in the hive. With subkey (a
// backslash-separated path below the root), only that key's contents are loaded. On
// failure nothing is promised about into, and the message (without the file name)
// says why.
std::optional<std::string> LoadNtHive(const std::string& path, MemoryRegistry::Key* into,
                                      const std::string& subkey = std::string(),
                                      CodePage page = kDefaultAnsiCodePage);

// The same from bytes in memory (a file read out of a disk image).
std::optional<std::string> LoadNtHiveBytes(const std::string& bytes, MemoryRegistry::Key* into,
                                           const std::string& subkey = std::string(),
                                           CodePage page = kDefaultAnsiCodePage);

}  // namespace korvane

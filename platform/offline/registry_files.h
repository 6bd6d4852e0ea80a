// Registry files of Windows installations, read into a MemoryRegistry through libraries:
// NT hives (SOFTWARE, SYSTEM, NTUSER.DAT) with hivex, Windows 9x registry files
// (SYSTEM.DAT, USER.DAT) with libcreg. No library type leaves these files.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/memory_registry.h"

namespace korvane {

// Keys deeper than this below a file's root are refused, as Windows refuses them; it also
// ends a walk through a file whose keys point at each other.
constexpr int kRegistryDepthLimit = 512;

// Loads the keys and values below the root key of the hive at path as subkeys and
// values of into. Names reach the registry as the ANSI calls return them: UTF-16 names
// and REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data narrowed to 8-bit text ('?' for a
// character without one). Subkeys keep the hive's order (sorted by upper-case name, as
// Windows enumerates them), values their order in the hive. With subkey (a
// backslash-separated path below the root), only that key's contents are loaded. On
// failure nothing is promised about into, and the message (without the file name)
// says why.
std::optional<std::string> LoadNtHive(const std::string& path, MemoryRegistry::Key* into,
                                      const std::string& subkey = std::string());

// The same for a Windows 9x registry file: names and text are the file's own 8-bit
// text; REG_SZ data without its terminating zero (as 9x often stores it) gets one, as
// RegQueryValueExA delivers it.
std::optional<std::string> LoadCregFile(const std::string& path, MemoryRegistry::Key* into);

// Both from bytes in memory (a file read out of a disk image), through an anonymous
// in-memory file that the libraries open by name.
std::optional<std::string> LoadNtHiveBytes(const std::string& bytes, MemoryRegistry::Key* into,
                                           const std::string& subkey = std::string());
std::optional<std::string> LoadCregBytes(const std::string& bytes, MemoryRegistry::Key* into);

// Hands bytes to load as the path of an anonymous in-memory file holding them.
std::optional<std::string> ThroughMemoryFile(
    const std::string& bytes,
    const std::function<std::optional<std::string>(const std::string&)>& load);

// Registry files larger than this are refused.
constexpr size_t kRegistryFileLimit = size_t{1} << 30;

// UTF-8 text as the ANSI calls return it: code points below 256 as one byte, others as
// '?' (UTF-16 text: NarrowUtf16 of text_lines.h).
std::string NarrowUtf8(const std::string& utf8);

// The subkey name of parent, made when missing (names compare without regard to case).
MemoryRegistry::Key* AddSubkey(MemoryRegistry::Key* parent, const std::string& name);

}  // namespace korvane

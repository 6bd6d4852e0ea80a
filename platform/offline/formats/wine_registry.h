// Reads Wine's own registry files (system.reg, user.reg, userdef.reg) into an in-memory
// registry, as a program that uses the ANSI registry calls would see them.
#pragma once

#include <optional>
#include <string>

#include "platform/memory_registry.h"
#include "platform/offline/formats/parse_error.h"
#include "platform/text_encoding.h"

namespace korvane {

// What a Wine registry file says about itself.
struct WineRegistryHeader {
  std::string relativeTo;  // "\Machine", "\User\S-1-5-21-...", "\User\.Default"
  std::string arch;        // "win32", "win64" or empty when the file does not say
};

// Fills registry below root from the bytes of a Wine registry file: the line
// "WINE REGISTRY Version 2", then [quoted\\key\\paths] (with their timestamps and "#"
// metadata lines) each followed by its values: "name" or @ for the default, then
// "text", str:"text", str(2):"text", str(7):"text", hex:bytes, hex(N):bytes (continued
// on the next line after a "\") or dword:hex.
//
// Text is UTF-16 inside the registry: escapes give code units (\xNNNN, octal, \n ...);
// other bytes are read as UTF-8 where they form a valid sequence and as Latin-1
// otherwise (Wine itself writes every non-ASCII character as an escape). The registry
// then holds what the ANSI calls return on a machine of the code page: names and the data
// of text types (1, 2, 7, including hex(1) data) in that code page, with "?" for a
// character it lacks; other types byte for byte.
//
// Keys and values enumerate in Wine's order, sorted by name without regard to case. At
// the first line that cannot be read the error names it, and the registry is incomplete
// and must be thrown away.
std::optional<ParseError> ParseWineRegistry(const std::string& bytes, RootKey root,
                                            MemoryRegistry* registry, WineRegistryHeader* header,
                                            CodePage page = kDefaultAnsiCodePage);

// The value that makes a Wine registry key a link to another key, and its type.
constexpr char kSymbolicLinkValue[] = "SymbolicLinkValue";
constexpr uint32_t kRegLink = 6;

}  // namespace korvane

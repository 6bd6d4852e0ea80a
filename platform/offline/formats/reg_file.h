// Reads a registry export (the .reg text that regedit writes) into an in-memory registry.
#pragma once

#include <optional>
#include <string>

#include "platform/memory_registry.h"
#include "platform/offline/formats/parse_error.h"
#include "platform/text_encoding.h"

namespace korvane {

// Fills registry from the bytes of a .reg file: "REGEDIT4" or "Windows Registry Editor
// Version 5.00" first, then [key] lines, each followed by its "name"=data lines, in the
// order they are to enumerate. Keys under HKEY_CLASSES_ROOT land in
// HKEY_LOCAL_MACHINE\Software\Classes, which the registry then shows as HKCR; keys under
// the other roots of a whole-registry export (HKEY_USERS, HKEY_CURRENT_CONFIG,
// HKEY_DYN_DATA) are read and left out. At the first line that cannot be read the
// error names it, and the registry is incomplete and must be thrown away. The UTF-16 text
// of a version 5 export reaches the registry narrowed to the machine's code page; a
// REGEDIT4 file's 8-bit text is in that code page already.
std::optional<ParseError> ParseRegFile(const std::string& bytes, MemoryRegistry* registry,
                                       CodePage page = kDefaultAnsiCodePage);

}  // namespace korvane

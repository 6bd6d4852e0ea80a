// Reads a registry export (the .reg text that regedit writes) into an in-memory registry.
#pragma once

#include <optional>
#include <string>

#include "platform/memory_registry.h"
#include "platform/offline/formats/parse_error.h"

namespace korvane {

// Fills registry from the bytes of a .reg file: "REGEDIT4" or "Windows Registry Editor
// Version 5.00" first, then [key] lines, each followed by its "name"=data lines, in the
// order they are to enumerate. Keys under HKEY_CLASSES_ROOT land in
// HKEY_LOCAL_MACHINE\Software\Classes, which the registry then shows as HKCR; keys under
// the other roots of a whole-registry export (HKEY_USERS, HKEY_CURRENT_CONFIG,
// HKEY_DYN_DATA) are read and left out. At the first line that cannot be read the
// error names it, and the registry is incomplete and must be thrown away.
std::optional<ParseError> ParseRegFile(const std::string& bytes, MemoryRegistry* registry);

}  // namespace korvane

// The version resource (VS_VERSIONINFO) of a PE image: the texts a driver is named by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/offline/formats/pe_image.h"
#include "platform/text_encoding.h"

namespace korvane {

struct VersionStrings {
  std::string fileDescription;
  std::string fileVersion;  // the FileVersion text, else a.b.c.d from the fixed part
};

// The strings of a VS_VERSIONINFO block (the bytes of an RT_VERSION resource), from its
// first string table, in the code page of the ANSI calls (VerQueryValueA); nullopt when the
// block is damaged or is not one.
std::optional<VersionStrings> ParseVersionInfo(const uint8_t* data, size_t size,
                                               CodePage page = kDefaultAnsiCodePage);

// The image's first RT_VERSION resource, parsed; nullopt when there is none or the
// resource directory is damaged.
std::optional<VersionStrings> ReadVersionStrings(const PeView& view,
                                                 CodePage page = kDefaultAnsiCodePage);

}  // namespace korvane

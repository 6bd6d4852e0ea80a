// Reads machine.ini: the facts of a described machine that its files do not carry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/offline/formats/parse_error.h"
#include "platform/text_encoding.h"

namespace korvane {

struct CaptureDriver {
  std::string name;
  std::string version;
};

// What machine.ini states; every fact left out is derived from the machine's files.
struct MachineIni {
  std::optional<std::string> windowsDirectory;
  std::optional<std::string> systemDirectory;
  std::optional<uint32_t> platform;  // 0, 1 or 2
  std::optional<uint32_t> major;
  std::optional<uint32_t> minor;
  std::optional<uint32_t> build;
  std::optional<std::string> servicePack;
  bool versionQueryFails = false;
  std::optional<uint32_t> vfwVersion;
  bool captureGiven = false;  // a [capture] section replaces the derived drivers
  std::array<std::optional<CaptureDriver>, 10> capture;
  std::optional<CodePage> ansiCodePage;  // the ANSI code page its text is in
  std::optional<CodePage> oemCodePage;   // the OEM code page of its FAT short names
};

// Section [machine]: WindowsDirectory, SystemDirectory, Platform, Major, Minor, Build,
// ServicePack, VersionQuery (ok or fail), VfwVersion, CodePage and OemCodePage (Windows
// code page numbers, decimal); section [capture]: 0 to 9 as
// name|version. Names compare without regard to case; numbers are decimal or 0x
// hexadecimal. An unknown section or name, a value given twice or a bad value is an error.
std::optional<ParseError> ParseMachineIni(const std::string& text, MachineIni* ini);

}  // namespace korvane

// Minimal PE images for the tests, made byte by byte: headers, one section with an
// import table and, when asked, a version resource.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::test {

struct PeSpec {
  uint16_t machine = 0x014C;          // i386
  uint16_t characteristics = 0x2102;  // DLL, executable image, 32-bit words
  std::vector<std::string> imports;
  bool withVersion = false;
  std::string fileDescription;
  std::string fileVersion;
};

std::string BuildPe(const PeSpec& spec);

// The VS_VERSIONINFO block alone, as the resource holds it.
std::string BuildVersionInfo(const std::string& description, const std::string& version);

// Offsets inside an image that BuildPe made, for tests that damage one field.
constexpr size_t kPeHeaderOffset = 0x40;
constexpr size_t kOptionalHeaderOffset = kPeHeaderOffset + 24;
constexpr size_t kSectionTableOffset = kOptionalHeaderOffset + 224;

void PutU32(std::string* bytes, size_t offset, uint32_t value);

}  // namespace korvane::test

// Codec names by FourCC, the short table the file dump reports from.
#pragma once

#include <cstdint>

namespace korvane {

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24;
}

// The codec name for a FourCC read little-endian from the file, or "unknown".
// Matching is exact: letter case counts.
const char* CodecName(uint32_t fourcc);

}  // namespace korvane

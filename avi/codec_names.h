// Codec names by FourCC, the short table the file dump reports from.
#pragma once

#include <cstdint>

#include "platform/byte_reader.h"

namespace korvane {

// The codec name for a FourCC read little-endian from the file, or "unknown".
// Matching is exact: letter case counts.
const char* CodecName(uint32_t fourcc);

}  // namespace korvane

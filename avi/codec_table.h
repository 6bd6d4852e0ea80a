// What each video FourCC and audio format tag is, and what decodes it on Windows.
//
// Wider than the file dump's own table (codec_names.h), which stays as it is.
#pragma once

#include <cstdint>

#include "platform/byte_reader.h"

namespace korvane {

// The decoder field of an entry that Windows plays without any driver.
extern const char kBuiltIn[];

struct CodecInfo {
  uint32_t code;  // FourCC read little-endian, or a WAVEFORMATEX format tag
  const char* name;
  // Video: the [drivers32] entry Video for Windows opens ("vidc.cvid"); empty when it
  // is "vidc." and the file's own FourCC. Audio: the entry names the usual ACM driver
  // is installed under, separated by spaces; empty when no usual driver is known.
  // kBuiltIn when nothing needs installing.
  const char* driver;
  const char* files;  // the usual driver files, separated by spaces; may be empty
};

// Looks a FourCC up exactly, then without regard to ASCII letter case. Null when unknown.
const CodecInfo* FindVideoCodec(uint32_t fourcc);
// Null when unknown.
const CodecInfo* FindAudioCodec(uint16_t formatTag);

// For tests: the whole tables.
struct CodecTable {
  const CodecInfo* entries;
  int count;
};
CodecTable VideoCodecTable();
CodecTable AudioCodecTable();

}  // namespace korvane

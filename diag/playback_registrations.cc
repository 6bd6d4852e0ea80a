#include "diag/playback_registrations.h"

#include <cstdio>

#include "platform/ascii.h"

namespace korvane {
namespace {

const char kGuidNull[] = "{00000000-0000-0000-0000-000000000000}";
const char kMediaTypeStream[] = "{E436EB83-524F-11CE-9F53-0020AF0BA770}";
const char kMediaSubtypeAvi[] = "{E436EB88-524F-11CE-9F53-0020AF0BA770}";
constexpr uint32_t kStreamInterleavedType = 0x73766169;  // 'iavs': MEDIATYPE_Interleaved
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

// The GUIDs DirectShow makes from a FourCC or a format tag: XXXXXXXX-0000-0010-8000-00AA00389B71.
std::string GuidFromCode(uint32_t code) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-0000-0010-8000-00AA00389B71}", code);
  return text;
}

// The uncompressed RGB subtypes DirectShow names by bit depth, E436EB78 to E436EB7E.
std::string RgbSubtype(uint16_t bitCount, uint32_t compression) {
  uint32_t first = 0;
  switch (bitCount) {
    case 1:
      first = 0xE436EB78;
      break;
    case 4:
      first = 0xE436EB79;
      break;
    case 8:
      first = 0xE436EB7A;
      break;
    case 16:
      first = compression == kBiBitfields ? 0xE436EB7B : 0xE436EB7C;
      break;
    case 24:
      first = 0xE436EB7D;
      break;
    case 32:
      first = 0xE436EB7E;
      break;
    default:
      return GuidFromCode(compression);
  }
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-524F-11CE-9F53-0020AF0BA770}", first);
  return text;
}

}  // namespace

MediaTypeGuids StreamMediaType(const AviStream& stream) {
  if (stream.type == kStreamInterleavedType)
    return {GuidFromCode(stream.type), GuidFromCode(stream.handler)};
  if (stream.isVideo()) {
    const bool rgb = stream.compression == kBiRgb || stream.compression == kBiBitfields;
    return {GuidFromCode(kStreamVideo), rgb ? RgbSubtype(stream.bitCount, stream.compression)
                                            : GuidFromCode(stream.compression)};
  }
  if (stream.isAudio())
    return {GuidFromCode(kStreamAudio), GuidFromCode(stream.effectiveFormatTag())};
  return {GuidFromCode(stream.type), GuidFromCode(stream.handler)};
}

MediaTypeGuids AviFileMediaType() { return {kMediaTypeStream, kMediaSubtypeAvi}; }

bool AcceptsMediaType(const std::vector<MediaTypeGuids>& registered, const MediaTypeGuids& type) {
  auto same = [](const std::string& a, const std::string& b) {
    return a == kGuidNull || EqualsIgnoringCase(a, b);
  };
  for (const MediaTypeGuids& each : registered) {
    if (same(each.majorType, type.majorType) && same(each.subType, type.subType)) return true;
  }
  return false;
}

PlaybackRegistrations ReadPlaybackRegistrations(System& system, const LibraryLookup& libraries) {
  (void)system;
  (void)libraries;
  return {};
}

}  // namespace korvane

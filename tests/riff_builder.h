// Builds RIFF bytes for tests: chunks, lists and the AVI header chunks, well formed or
// deliberately not; and streams as the walk reports them, for the checks that follow it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "avi/riff_walk.h"
#include "platform/byte_reader.h"

namespace korvane::test {

inline std::string Le16(uint16_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
inline std::string Le32(uint32_t v) {
  return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16));
}

// A chunk with its pad byte when the body is odd.
inline std::string Chunk(const std::string& id, const std::string& body) {
  std::string chunk = id + Le32(static_cast<uint32_t>(body.size())) + body;
  if (body.size() % 2 != 0) chunk += '\0';
  return chunk;
}
// A chunk header that declares any size, followed by whatever body is given.
inline std::string ChunkDeclaring(const std::string& id, uint32_t size, const std::string& body) {
  return id + Le32(size) + body;
}
inline std::string Join(std::initializer_list<std::string> parts) {
  std::string all;
  for (const std::string& part : parts) all += part;
  return all;
}
inline std::string List(const std::string& type, std::initializer_list<std::string> children) {
  return Chunk("LIST", type + Join(children));
}
inline std::string Riff(const std::string& form, std::initializer_list<std::string> children) {
  return Chunk("RIFF", form + Join(children));
}

inline std::string MainHeader(uint32_t streams, uint32_t frames = 10) {
  std::string body = Le32(200000) + Le32(0) + Le32(0) + Le32(0x10) + Le32(frames) + Le32(0) +
                     Le32(streams) + Le32(0) + Le32(32) + Le32(24) + std::string(16, '\0');
  return Chunk("avih", body);
}
inline std::string StreamHeader(const std::string& type, const std::string& handler) {
  return Chunk("strh", type + handler + std::string(48, '\0'));
}
// BITMAPINFOHEADER, 40 bytes.
inline std::string VideoFormat(const std::string& compression, uint32_t width = 32,
                               uint32_t height = 24) {
  return Chunk("strf", Le32(40) + Le32(width) + Le32(height) + Le16(1) + Le16(24) + compression +
                           Le32(width * height * 3) + std::string(16, '\0'));
}
inline std::string VideoFormatCode(uint32_t compression) { return VideoFormat(Le32(compression)); }
// WAVEFORMATEX, 18 bytes.
inline std::string AudioFormat(uint16_t tag, uint16_t channels = 1, uint32_t rate = 22050) {
  return Chunk("strf", Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * 2) + Le16(2) +
                           Le16(16) + Le16(0));
}
// WAVEFORMATEXTENSIBLE with a sub-format GUID built from a tag.
inline std::string ExtensibleFormat(uint16_t subTag) {
  const std::string guid =
      Le16(subTag) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  return Chunk("strf", Le16(0xFFFE) + Le16(2) + Le32(44100) + Le32(44100 * 6) + Le16(6) + Le16(24) +
                           Le16(22) + Le16(24) + Le32(3) + guid);
}
inline std::string VideoStream(const std::string& fourcc) {
  return List("strl", {StreamHeader("vids", fourcc), VideoFormat(fourcc)});
}
inline std::string AudioStream(uint16_t tag) {
  return List("strl", {StreamHeader("auds", std::string(4, '\0')), AudioFormat(tag)});
}
inline std::string Movi() { return List("movi", {Chunk("00dc", "frame")}); }
inline std::string Index() { return Chunk("idx1", std::string(16, '\0')); }

// A complete AVI file of the given stream lists.
inline std::string Avi(std::initializer_list<std::string> streams) {
  return Riff("AVI ",
              {List("hdrl", {MainHeader(static_cast<uint32_t>(streams.size())), Join(streams)}),
               Movi(), Index()});
}

// An AVI laid out as Video for Windows writes one: the header padded with JUNK so that the
// frames begin at byte 2048, sound and frames interleaved in 'movi', then idx1.
inline std::string PaddedAvi(std::initializer_list<std::string> streams, uint32_t frames = 3) {
  const std::string hdrl =
      List("hdrl", {MainHeader(static_cast<uint32_t>(streams.size()), frames), Join(streams)});
  const size_t before = 12 + hdrl.size() + 8;  // RIFF header, hdrl, JUNK header
  const std::string junk = Chunk("JUNK", std::string(2048 - 12 - before, '\0'));
  std::string movi;
  for (uint32_t i = 0; i < frames; ++i) {
    movi += Chunk("01wb", std::string(2205, 's')) + Chunk("00dc", std::string(3000, 'f'));
  }
  return Riff("AVI ", {hdrl, junk, List("movi", {movi}), Index()});
}

// A stream whose header and format were both read.
inline AviStream WalkedVideo(std::string_view compression, std::string_view handler = {}) {
  AviStream s;
  s.type = kStreamVideo;
  s.hasHeader = s.hasFormat = true;
  s.compression = FourCC(compression);
  s.handler = FourCC(handler);
  return s;
}
inline AviStream WalkedAudio(uint16_t tag) {
  AviStream s;
  s.type = kStreamAudio;
  s.hasHeader = s.hasFormat = true;
  s.formatTag = tag;
  return s;
}

}  // namespace korvane::test

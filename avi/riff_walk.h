// A walk of an AVI file's RIFF structure: the header lists, each stream and its format.
//
// Only chunk headers and the few bytes of each header chunk that matter are read; the
// frames are never touched, so a multi-gigabyte file costs a handful of reads. Every
// size the file declares is checked against what its parent and the file really hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/format.h"

namespace korvane {

// Random-access bytes with a known size: a file or a buffer.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly n bytes at offset; false when they are not all there.
  virtual bool ReadAt(uint64_t offset, uint8_t* out, size_t n) = 0;
};

// A view of bytes that must outlive it.
class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemoryByteSource(const std::string& bytes)
      : MemoryByteSource(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, uint8_t* out, size_t n) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// A stream opened for binary reading; the caller keeps ownership.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(std::FILE* file);
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, uint8_t* out, size_t n) override;

 private:
  std::FILE* file_;
  uint64_t size_ = 0;
};

constexpr uint32_t kStreamVideo = 0x73646976;        // 'vids'
constexpr uint32_t kStreamAudio = 0x73647561;        // 'auds'
constexpr uint32_t kStreamInterleaved = 0x73766169;  // 'iavs': type-1 DV, video and sound
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

struct AviStream {
  uint32_t type = 0;     // strh fccType
  uint32_t handler = 0;  // strh fccHandler
  bool hasHeader = false;
  bool hasFormat = false;
  // Video (and type-1 DV, where it is the handler): BITMAPINFOHEADER biCompression.
  uint32_t compression = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
  // Audio: WAVEFORMATEX.
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint16_t bitsPerSample = 0;
  // WAVE_FORMAT_EXTENSIBLE: the sub-format GUID, and its format tag when it is one of
  // the GUIDs made from a tag ({0000XXXX-0000-0010-8000-00AA00389B71}).
  std::string subFormatGuid;
  bool subFormatIsTag = false;
  uint16_t subFormatTag = 0;
  bool hasSuperIndex = false;  // OpenDML indx
  std::string name;            // strn, when given

  bool isVideo() const { return type == kStreamVideo || type == kStreamInterleaved; }
  bool isAudio() const { return type == kStreamAudio; }
  // The format tag that decides the decoder: the sub-format's for an extensible format.
  uint16_t effectiveFormatTag() const {
    return formatTag == kWaveFormatExtensible && subFormatIsTag ? subFormatTag : formatTag;
  }
};

struct AviWalk {
  uint64_t fileSize = 0;
  bool isRiff = false;  // starts with RIFF
  bool isAvi = false;   // ... and its form type is 'AVI '
  uint32_t formType = 0;
  bool truncated = false;  // a chunk reaches past the end of the file
  bool hasHeaderList = false;
  bool hasMainHeader = false;
  uint32_t declaredStreams = 0;  // avih dwStreams
  uint32_t totalFrames = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<AviStream> streams;
  bool hasOpenDml = false;  // LIST odml
  uint32_t openDmlFrames = 0;
  bool hasMovi = false;
  // ... and it holds a whole chunk of stream data (of a video stream, where the file
  // describes one), or the walk could not look that far. A file cut just after its 'movi'
  // list began, or just after the sound that comes before the first frame, has the list
  // and no frame at all.
  bool hasFrames = false;
  bool hasIdx1 = false;
  int extendedRiffs = 0;  // RIFF AVIX continuations
  std::vector<std::string> problems;

  bool holdsFrames() const { return hasMovi && hasFrames; }
};

struct WalkLimits {
  uint64_t byteBudget = 1 << 20;  // bytes read in all
  int chunkBudget = 100000;       // chunk headers looked at in all
};

AviWalk WalkAvi(ByteSource& source, const WalkLimits& limits = WalkLimits());

}  // namespace korvane

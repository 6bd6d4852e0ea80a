// Walks the RIFF chunks of an AVI file, one function per list type.
#include "avi/riff_walk.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_reader.h"
#include "platform/format.h"

namespace korvane {
namespace {

// The leading bytes of a chunk body that a header chunk's fields live in.
constexpr size_t kMaxFieldBytes = 64;
// Chunk headers looked at in the 'movi' list for a first whole frame. Writers put a few
// JUNK or empty chunks first at most; past this many the frames are taken to be there.
constexpr int kFrameSearchChunks = 64;
// RIFF sizes from here up to 0xFFFFFFFF are the -1 and -8 that writers leave when they never
// close the file: a RIFF form of 4 GiB is beyond what its 32-bit offsets reach.
constexpr uint32_t kUnsetRiffSize = 0xFFFFFFF8;

// Four printable ASCII characters, as every chunk id a writer chose is.
bool IsTextFourCC(uint32_t fourcc) {
  for (int shift = 0; shift < 32; shift += 8) {
    const unsigned char c = static_cast<unsigned char>(fourcc >> shift);
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// Stream data in 'movi': two digits, the stream number, then its kind ("00dc", "01wb").
bool IsStreamDataId(uint32_t id) {
  const unsigned char first = static_cast<unsigned char>(id);
  const unsigned char second = static_cast<unsigned char>(id >> 8);
  return first >= '0' && first <= '9' && second >= '0' && second <= '9';
}

int StreamNumberOf(uint32_t id) {
  return (static_cast<unsigned char>(id) - '0') * 10 + (static_cast<unsigned char>(id >> 8) - '0');
}

struct Chunk {
  uint32_t id = 0;
  uint64_t offset = 0;     // of its header
  uint64_t bodyStart = 0;  // offset + 8
  uint64_t bodyEnd = 0;    // clipped to the parent
  uint32_t declaredSize = 0;
  bool clipped = false;  // declared more than its parent holds
  uint64_t bodySize() const { return bodyEnd - bodyStart; }
};

struct Walker {
  ByteSource& source;
  WalkLimits limits;
  AviWalk& out;
  uint64_t bytesRead = 0;
  int chunksSeen = 0;
  bool stopped = false;         // a budget ran out: the walk ends everywhere
  uint32_t lastTopLevelId = 0;  // the last chunk of the RIFF form, and where it ends
  uint64_t lastTopLevelEnd = 0;

  void Problem(const std::string& text) { out.problems.push_back(text); }

  bool Read(uint64_t offset, uint8_t* buffer, size_t n) {
    if (stopped) return false;
    if (n > limits.byteBudget - std::min(bytesRead, limits.byteBudget)) {
      Stop("stopped reading: the header is larger than a sound AVI header can be");
      return false;
    }
    bytesRead += n;
    return source.ReadAt(offset, buffer, n);
  }

  void Stop(const std::string& why) {
    if (!stopped) Problem(why);
    stopped = true;
  }

  // Reads the chunk header at cur inside [cur, end). False when there is no whole header
  // there (the caller's loop ends) or a budget ran out.
  bool NextChunk(uint64_t cur, uint64_t end, const char* where, Chunk* chunk) {
    if (stopped) return false;
    if (end - cur < 8) {
      Problem(Format("%d stray bytes at offset %I64u at the end of %s", static_cast<int>(end - cur),
                     cur, where));
      return false;
    }
    if (++chunksSeen > limits.chunkBudget) {
      Stop("stopped reading: too many chunks in the header");
      return false;
    }
    uint8_t header[8];
    if (!Read(cur, header, sizeof header)) {
      if (!stopped) Problem(Format("can't read the chunk header at offset %I64u", cur));
      return false;
    }
    const ByteReader fields(header, sizeof header);
    chunk->id = fields.U32At(0);
    chunk->declaredSize = fields.U32At(4);
    chunk->offset = cur;
    chunk->bodyStart = cur + 8;
    const uint64_t room = end - chunk->bodyStart;
    chunk->clipped = chunk->declaredSize > room;
    chunk->bodyEnd = chunk->clipped ? end : chunk->bodyStart + chunk->declaredSize;
    if (chunk->clipped) {
      Problem(Format("chunk '%s' at offset %I64u declares %u bytes, only %I64u are there",
                     FourCCText(chunk->id), cur, chunk->declaredSize, room));
      if (end == out.fileSize) out.truncated = true;
    }
    return true;
  }

  // Where the chunk after this one starts: past its body and its pad byte.
  static uint64_t After(const Chunk& chunk, uint64_t end) {
    if (chunk.clipped) return end;
    const uint64_t padded = chunk.bodyEnd + (chunk.declaredSize & 1);
    return std::min(padded, end);
  }

  // The leading bytes of a chunk's body, at most kMaxFieldBytes.
  size_t ReadFields(const Chunk& chunk, uint8_t* fields) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.bodySize(), kMaxFieldBytes));
    if (n == 0) return 0;
    return Read(chunk.bodyStart, fields, n) ? n : 0;
  }

  // A LIST's type, or 0 when the list is too short to have one.
  uint32_t ListType(const Chunk& chunk) {
    uint8_t type[4];
    if (chunk.bodySize() < 4 || !Read(chunk.bodyStart, type, 4)) {
      Problem(Format("LIST at offset %I64u has no list type", chunk.offset));
      return 0;
    }
    return ByteReader(type, sizeof type).U32At(0);
  }

  void WalkFile();
  void WalkTopLevel(uint64_t start, uint64_t end, bool sizeUnknown);
  void WalkPastTheFile(uint64_t end);
  bool HoldsAFrame(uint64_t start, uint64_t end, int depth);
  bool IsFrameId(uint32_t id) const;
  void WalkExtendedRiffs(uint64_t cur);
  bool ReadChunkHeader(uint64_t cur, uint32_t* id, uint32_t* size);
  void WalkHeaderList(uint64_t start, uint64_t end);
  void ReadMainHeader(const Chunk& chunk);
  void WalkOpenDml(uint64_t start, uint64_t end);
  void WalkStreamList(uint64_t start, uint64_t end);
  void ReadStreamHeader(const Chunk& chunk, AviStream* stream);
  void ReadStreamName(const Chunk& chunk, AviStream* stream);
  void CheckSummary();
};

void Walker::WalkFile() {
  out.fileSize = source.Size();
  uint8_t header[12];
  if (out.fileSize < sizeof header || !Read(0, header, sizeof header)) {
    Problem("the file is too short to hold a RIFF header");
    return;
  }
  const ByteReader fields(header, sizeof header);
  out.isRiff = fields.U32At(0) == FourCC("RIFF");
  out.formType = fields.U32At(8);
  if (!out.isRiff) {
    Problem("the file does not start with 'RIFF'");
    return;
  }
  out.isAvi = out.formType == FourCC("AVI ");
  if (!out.isAvi) {
    Problem(Format("RIFF form '%s' is not 'AVI '", FourCCText(out.formType)));
    return;
  }
  const uint32_t declared = fields.U32At(4);
  const uint64_t end = 8 + uint64_t{declared};
  if (declared < 4 || declared >= kUnsetRiffSize) {
    // A writer that never came back to fill in the size: what the file holds is all there is.
    Problem(Format("the RIFF header declares %u bytes%s; reading the whole file instead", declared,
                   declared < 4 ? "" : ", a size never filled in"));
    WalkTopLevel(12, out.fileSize, true);
  } else if (end > out.fileSize) {
    WalkPastTheFile(end);
  } else {
    WalkTopLevel(12, end, false);
    if (end < out.fileSize) WalkExtendedRiffs(end + (declared & 1));
  }
  CheckSummary();
}

// A RIFF form that declares more than the file holds is cut short, unless the file ends
// with its whole index just where its last chunk ends: writers put the index last, so
// such a file lacks nothing, and its size is what is wrong.
void Walker::WalkPastTheFile(uint64_t end) {
  const size_t at = out.problems.size();
  WalkTopLevel(12, out.fileSize, false);
  const bool endsWithIndex = lastTopLevelId == FourCC("idx1") && lastTopLevelEnd == out.fileSize;
  std::string problem =
      Format("the RIFF header declares %I64u bytes, the file holds %I64u", end, out.fileSize);
  if (endsWithIndex && !out.truncated && !stopped) {
    problem += ", which ends with its whole index: the RIFF size is wrong";
  } else {
    out.truncated = true;
    problem += ": the file is cut short";
  }
  out.problems.insert(out.problems.begin() + static_cast<std::ptrdiff_t>(at), problem);
}

// With the form's size unknown, its end is where the chunks end: a header whose id is no
// text is the padding a capture tool leaves after its last chunk, not a chunk cut short.
void Walker::WalkTopLevel(uint64_t cur, uint64_t end, bool sizeUnknown) {
  Chunk chunk;
  while (cur < end) {
    uint32_t id = 0, size = 0;
    if (sizeUnknown && end - cur >= 8 && ReadChunkHeader(cur, &id, &size) && !IsTextFourCC(id)) {
      return;
    }
    if (!NextChunk(cur, end, "the RIFF form", &chunk)) return;
    if (chunk.id == FourCC("LIST")) {
      const uint32_t type = ListType(chunk);
      if (type == FourCC("hdrl") && !out.hasHeaderList) {
        out.hasHeaderList = true;
        WalkHeaderList(chunk.bodyStart + 4, chunk.bodyEnd);
      } else if (type == FourCC("hdrl")) {
        Problem(Format("a second 'hdrl' list at offset %I64u is ignored", chunk.offset));
      } else if (type == FourCC("movi")) {
        out.hasMovi = true;
        if (!out.hasFrames) out.hasFrames = HoldsAFrame(chunk.bodyStart + 4, chunk.bodyEnd, 0);
      }
    } else if (chunk.id == FourCC("idx1")) {
      out.hasIdx1 = true;
    }
    cur = After(chunk, end);
    lastTopLevelId = chunk.id;
    lastTopLevelEnd = cur;
  }
}

// Whether [cur, end) of the 'movi' list holds one whole, non-empty chunk of stream data,
// looking into 'rec ' lists. Read quietly: a cut here is told where the list is clipped.
// True when the search ends without an answer, so that only a proven lack is told.
bool Walker::HoldsAFrame(uint64_t cur, uint64_t end, int depth) {
  for (int looked = 0; looked < kFrameSearchChunks; ++looked) {
    uint32_t id = 0, size = 0;
    if (end - cur < 8 || !ReadChunkHeader(cur, &id, &size)) return stopped;
    const uint64_t room = end - (cur + 8);
    if (id == FourCC("LIST") && depth == 0 && size >= 4 && room >= 4) {
      uint8_t type[4];
      if (!Read(cur + 8, type, 4)) return stopped;
      const uint64_t listEnd = cur + 8 + std::min<uint64_t>(size, room);
      if (ByteReader(type, 4).U32At(0) == FourCC("rec ") && HoldsAFrame(cur + 12, listEnd, 1)) {
        return true;
      }
    } else if (IsFrameId(id) && size > 0 && size <= room) {
      return true;
    }
    if (size >= room) return false;  // the chunk ends the list, or runs past it
    cur += 8 + size + (size & 1);
    if (cur >= end) return false;
  }
  return true;
}

// A chunk of the data that makes a file play: of a video stream where the file describes
// one (sound alone shows no picture, and a cut file often ends just after a sound chunk
// that came before the first frame), else of any stream. A number that names no stream
// the header describes is taken by its kind: "dc" and "db" are frames.
bool Walker::IsFrameId(uint32_t id) const {
  if (!IsStreamDataId(id)) return false;
  const std::vector<AviStream>& streams = out.streams;
  if (std::none_of(streams.begin(), streams.end(), [](const AviStream& s) { return s.isVideo(); }))
    return true;
  const size_t number = static_cast<size_t>(StreamNumberOf(id));
  if (number < streams.size()) return streams[number].isVideo();
  const uint32_t kind = id >> 16;
  return kind == ('d' | 'c' << 8) || kind == ('d' | 'b' << 8);
}

bool Walker::ReadChunkHeader(uint64_t cur, uint32_t* id, uint32_t* size) {
  uint8_t header[8];
  if (!Read(cur, header, sizeof header)) return false;
  const ByteReader fields(header, sizeof header);
  *id = fields.U32At(0);
  *size = fields.U32At(4);
  return true;
}

// OpenDML files go on past the first RIFF form in RIFF 'AVIX' forms of more frames, and
// writers may append a chunk or two. Anything else after the last form is not a chunk:
// capture tools pad the file to a whole sector with whatever bytes they had, so those
// bytes are left alone rather than read as a chunk that the file cuts short.
void Walker::WalkExtendedRiffs(uint64_t cur) {
  const uint64_t end = out.fileSize;
  while (!stopped && end - cur >= 8) {
    uint32_t id = 0, size = 0;
    if (!ReadChunkHeader(cur, &id, &size)) return;
    uint8_t form[4];
    const bool isAvix = id == FourCC("RIFF") && size >= 4 && end - cur >= 12 &&
                        Read(cur + 8, form, 4) &&
                        ByteReader(form, sizeof form).U32At(0) == FourCC("AVIX");
    const bool isChunk = IsTextFourCC(id) && size <= end - (cur + 8);
    if (!isAvix && !isChunk) return;
    Chunk chunk;
    if (!NextChunk(cur, end, "the file", &chunk)) return;
    if (isAvix) {
      ++out.extendedRiffs;
    } else if (chunk.id != FourCC("JUNK")) {
      Problem(Format("chunk '%s' at offset %I64u follows the RIFF form", FourCCText(chunk.id),
                     chunk.offset));
    }
    cur = After(chunk, end);
  }
}

void Walker::WalkHeaderList(uint64_t cur, uint64_t end) {
  Chunk chunk;
  while (cur < end && NextChunk(cur, end, "the 'hdrl' list", &chunk)) {
    if (chunk.id == FourCC("avih")) {
      ReadMainHeader(chunk);
    } else if (chunk.id == FourCC("LIST")) {
      const uint32_t type = ListType(chunk);
      if (type == FourCC("strl")) WalkStreamList(chunk.bodyStart + 4, chunk.bodyEnd);
      if (type == FourCC("odml")) WalkOpenDml(chunk.bodyStart + 4, chunk.bodyEnd);
    }
    cur = After(chunk, end);
  }
}

void Walker::ReadMainHeader(const Chunk& chunk) {
  uint8_t f[kMaxFieldBytes];
  const size_t n = ReadFields(chunk, f);
  if (n < 40) {
    Problem(Format("the main header 'avih' is %I64u bytes, too short", chunk.bodySize()));
    return;
  }
  const ByteReader fields(f, n);
  out.hasMainHeader = true;
  out.totalFrames = fields.U32At(16);
  out.declaredStreams = fields.U32At(24);
  out.width = fields.U32At(32);
  out.height = fields.U32At(36);
}

void Walker::WalkOpenDml(uint64_t cur, uint64_t end) {
  out.hasOpenDml = true;
  Chunk chunk;
  while (cur < end && NextChunk(cur, end, "the 'odml' list", &chunk)) {
    uint8_t f[kMaxFieldBytes];
    if (chunk.id == FourCC("dmlh")) {
      const ByteReader fields(f, ReadFields(chunk, f));
      if (fields.Has(0, 4)) out.openDmlFrames = fields.U32At(0);
    }
    cur = After(chunk, end);
  }
}

// BITMAPINFOHEADER: at least the 20 bytes up to biCompression, unless type-1 DV.
void ReadVideoFormat(const ByteReader& f, AviStream* stream) {
  stream->hasFormat = true;
  if (stream->type == kStreamInterleaved) {
    // Type-1 DV carries a DVINFO here; its codec is the stream handler.
    stream->compression = stream->handler;
    return;
  }
  stream->width = static_cast<int32_t>(f.U32At(4));
  stream->height = static_cast<int32_t>(f.U32At(8));
  stream->bitCount = f.U16At(14);
  stream->compression = f.U32At(16);
}

// KSDATAFORMAT_SUBTYPE_PCM and its kin: the format tag in the first two bytes, then this.
constexpr uint8_t kTagGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The 16 bytes of a GUID in its registry spelling.
std::string GuidText(const uint8_t* g) {
  const ByteReader fields(g, 16);
  return Format("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", fields.U32At(0),
                fields.U16At(4), fields.U16At(6), g[8], g[9], g[10], g[11], g[12], g[13], g[14],
                g[15]);
}

void ReadAudioFormat(const uint8_t* f, size_t n, AviStream* stream) {
  const ByteReader fields(f, n);
  if (!fields.Has(0, 2)) return;
  stream->hasFormat = true;
  stream->formatTag = fields.U16At(0);
  if (fields.Has(0, 16)) {
    stream->channels = fields.U16At(2);
    stream->samplesPerSec = fields.U32At(4);
    stream->bitsPerSample = fields.U16At(14);
  }
  // WAVEFORMATEXTENSIBLE: cbSize of 22 or more, then valid bits, channel mask, GUID.
  constexpr size_t kGuid = 24;
  if (stream->formatTag == kWaveFormatExtensible && fields.Has(kGuid, 16) &&
      fields.U16At(16) >= 22) {
    stream->subFormatGuid = GuidText(f + kGuid);
    stream->subFormatIsTag =
        fields.U16At(kGuid + 2) == 0 && std::memcmp(f + kGuid + 2, kTagGuidTail, 14) == 0;
    if (stream->subFormatIsTag) stream->subFormatTag = fields.U16At(kGuid);
  }
}

void Walker::WalkStreamList(uint64_t cur, uint64_t end) {
  AviStream stream;
  uint8_t format[kMaxFieldBytes];
  size_t formatBytes = 0;
  bool sawFormat = false;
  Chunk chunk;
  while (cur < end && NextChunk(cur, end, "an 'strl' list", &chunk)) {
    if (chunk.id == FourCC("strh")) {
      ReadStreamHeader(chunk, &stream);
    } else if (chunk.id == FourCC("strf")) {
      // Kept until the list ends: its meaning depends on the stream type.
      formatBytes = ReadFields(chunk, format);
      sawFormat = true;
    } else if (chunk.id == FourCC("indx")) {
      stream.hasSuperIndex = true;
    } else if (chunk.id == FourCC("strn")) {
      ReadStreamName(chunk, &stream);
    }
    cur = After(chunk, end);
  }
  const int index = static_cast<int>(out.streams.size());
  if (!stream.hasHeader) Problem(Format("stream %d has no stream header 'strh'", index));
  if (!sawFormat) Problem(Format("stream %d has no format 'strf'", index));
  if (sawFormat && stream.isVideo()) {
    if (stream.type != kStreamInterleaved && formatBytes < 20) {
      Problem(Format("stream %d: its video format is %d bytes, too short", index,
                     static_cast<int>(formatBytes)));
    } else {
      ReadVideoFormat(ByteReader(format, formatBytes), &stream);
    }
  } else if (sawFormat && stream.isAudio()) {
    if (formatBytes < 2) {
      Problem(Format("stream %d: its audio format is %d bytes, too short", index,
                     static_cast<int>(formatBytes)));
    }
    ReadAudioFormat(format, formatBytes, &stream);
  }
  out.streams.push_back(stream);
}

void Walker::ReadStreamHeader(const Chunk& chunk, AviStream* stream) {
  uint8_t f[kMaxFieldBytes];
  const ByteReader fields(f, ReadFields(chunk, f));
  if (!fields.Has(0, 8)) {
    Problem(
        Format("stream %d: its header 'strh' is too short", static_cast<int>(out.streams.size())));
    return;
  }
  stream->hasHeader = true;
  stream->type = fields.U32At(0);
  stream->handler = fields.U32At(4);
}

void Walker::ReadStreamName(const Chunk& chunk, AviStream* stream) {
  uint8_t f[kMaxFieldBytes];
  const size_t n = ReadFields(chunk, f);
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(f, 0, n));
  stream->name.assign(reinterpret_cast<const char*>(f), zero ? zero - f : n);
}

void Walker::CheckSummary() {
  if (stopped) return;
  if (!out.hasHeaderList) Problem("there is no header list 'hdrl'");
  if (out.hasHeaderList && !out.hasMainHeader) Problem("there is no main header 'avih'");
  if (out.hasMainHeader && out.declaredStreams != out.streams.size()) {
    Problem(Format("the main header declares %u streams, the file describes %d",
                   out.declaredStreams, static_cast<int>(out.streams.size())));
  }
  if (!out.hasMovi) Problem("there is no 'movi' list: the file holds no frames");
  if (out.hasMovi && !out.hasFrames) {
    Problem("the 'movi' list holds no whole frame: the file holds no frames");
  }
  const bool superIndex = std::any_of(out.streams.begin(), out.streams.end(),
                                      [](const AviStream& s) { return s.hasSuperIndex; });
  if (out.holdsFrames() && !out.hasIdx1 && !superIndex) {
    Problem("there is no index ('idx1' or OpenDML 'indx'): players must scan the file to seek");
  }
}

}  // namespace

bool MemoryByteSource::ReadAt(uint64_t offset, uint8_t* out, size_t n) {
  if (offset > size_ || n > size_ - offset) return false;
  std::memcpy(out, data_ + offset, n);
  return true;
}

AviWalk WalkAvi(ByteSource& source, const WalkLimits& limits) {
  AviWalk walk;
  Walker walker{source, limits, walk};
  walker.WalkFile();
  return walk;
}

}  // namespace korvane

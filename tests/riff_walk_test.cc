// The RIFF walk on well-formed, odd, cut and hostile AVI headers built here.
#include "avi/riff_walk.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/byte_reader.h"
#include "tests/riff_builder.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

using namespace test;

// A source that fails any read reaching past its end, so a walk that read too far shows.
class StrictSource : public MemoryByteSource {
 public:
  explicit StrictSource(const std::string& bytes) : MemoryByteSource(bytes), size_(bytes.size()) {}
  bool ReadAt(uint64_t offset, uint8_t* out, size_t n) override {
    ++reads;
    maxEnd = std::max<uint64_t>(maxEnd, offset + n);
    bytesRead += n;
    if (offset + n > size_) ++readsPastEnd;
    return MemoryByteSource::ReadAt(offset, out, n);
  }
  size_t size_;
  int reads = 0;
  int readsPastEnd = 0;
  uint64_t maxEnd = 0;
  uint64_t bytesRead = 0;
};

AviWalk Walk(const std::string& bytes, const WalkLimits& limits = WalkLimits()) {
  StrictSource source(bytes);
  AviWalk walk = WalkAvi(source, limits);
  EXPECT_EQ(source.readsPastEnd, 0);
  return walk;
}

bool HasProblem(const AviWalk& walk, const std::string& part) {
  return std::any_of(walk.problems.begin(), walk.problems.end(),
                     [&](const std::string& p) { return p.find(part) != std::string::npos; });
}

std::string AllProblems(const AviWalk& walk) {
  std::string all;
  for (const std::string& p : walk.problems) all += p + "\n";
  return all;
}

TEST(RiffWalkTest, WellFormedFileGivesEveryStreamAndNoProblem) {
  const AviWalk walk = Walk(Avi({VideoStream("cvid"), AudioStream(0x0002)}));
  EXPECT_TRUE(walk.isRiff);
  EXPECT_TRUE(walk.isAvi);
  EXPECT_TRUE(walk.hasHeaderList && walk.hasMainHeader && walk.hasMovi && walk.hasIdx1);
  EXPECT_FALSE(walk.truncated);
  EXPECT_EQ(walk.declaredStreams, 2u);
  EXPECT_EQ(walk.width, 32u);
  ASSERT_EQ(walk.streams.size(), 2u);
  EXPECT_EQ(walk.streams[0].type, kStreamVideo);
  EXPECT_EQ(walk.streams[0].handler, FourCC("cvid"));
  EXPECT_EQ(walk.streams[0].compression, FourCC("cvid"));
  EXPECT_EQ(walk.streams[0].width, 32);
  EXPECT_EQ(walk.streams[0].bitCount, 24);
  EXPECT_EQ(walk.streams[1].type, kStreamAudio);
  EXPECT_EQ(walk.streams[1].formatTag, 0x0002);
  EXPECT_EQ(walk.streams[1].channels, 1);
  EXPECT_EQ(walk.streams[1].samplesPerSec, 22050u);
  EXPECT_TRUE(walk.problems.empty()) << AllProblems(walk);
}

TEST(RiffWalkTest, OddChunksArePaddedAndJunkIsSkipped) {
  // An odd stream name, an odd JUNK chunk and the header chunks in an unusual order.
  const std::string strl =
      List("strl", {Chunk("strn", "abc"), Chunk("JUNK", "12345"), VideoFormat("MJPG"),
                    StreamHeader("vids", "mjpg"), Chunk("strd", "x")});
  const AviWalk walk = Walk(Riff("AVI ", {Chunk("JUNK", "odd"), List("hdrl", {MainHeader(1), strl}),
                                          Chunk("JUNK", "q"), Movi(), Index()}));
  ASSERT_EQ(walk.streams.size(), 1u);
  EXPECT_EQ(walk.streams[0].name, "abc");
  EXPECT_EQ(walk.streams[0].compression, FourCC("MJPG"));  // strf before strh still counts
  EXPECT_EQ(walk.streams[0].handler, FourCC("mjpg"));
  EXPECT_TRUE(walk.hasMovi && walk.hasIdx1);
  EXPECT_TRUE(walk.problems.empty()) << AllProblems(walk);
}

TEST(RiffWalkTest, ExtensibleAudioGivesItsSubFormat) {
  const AviWalk walk = Walk(
      Avi({List("strl", {StreamHeader("auds", std::string(4, '\0')), ExtensibleFormat(0x0055)})}));
  ASSERT_EQ(walk.streams.size(), 1u);
  const AviStream& s = walk.streams[0];
  EXPECT_EQ(s.formatTag, kWaveFormatExtensible);
  EXPECT_TRUE(s.subFormatIsTag);
  EXPECT_EQ(s.subFormatTag, 0x0055);
  EXPECT_EQ(s.effectiveFormatTag(), 0x0055);
  EXPECT_EQ(s.subFormatGuid, "{00000055-0000-0010-8000-00AA00389B71}");

  // A GUID of another family is kept as text but gives no tag.
  std::string strf = ExtensibleFormat(0x0001);
  strf[8 + 24 + 10] = 0x11;
  const AviWalk other =
      Walk(Avi({List("strl", {StreamHeader("auds", std::string(4, '\0')), strf})}));
  EXPECT_FALSE(other.streams[0].subFormatIsTag);
  EXPECT_EQ(other.streams[0].effectiveFormatTag(), kWaveFormatExtensible);
  // An extensible tag whose format is too short to hold the GUID.
  const AviWalk shortOne =
      Walk(Avi({List("strl", {StreamHeader("auds", std::string(4, '\0')), AudioFormat(0xFFFE)})}));
  EXPECT_FALSE(shortOne.streams[0].subFormatIsTag);
}

TEST(RiffWalkTest, InterleavedDvTakesItsCodecFromTheHandler) {
  const AviWalk walk = Walk(
      Avi({List("strl", {StreamHeader("iavs", "dvsd"), Chunk("strf", std::string(32, '\0'))})}));
  ASSERT_EQ(walk.streams.size(), 1u);
  EXPECT_TRUE(walk.streams[0].isVideo());
  EXPECT_EQ(walk.streams[0].compression, FourCC("dvsd"));
}

TEST(RiffWalkTest, OpenDmlHeaderIndexAndContinuationForms) {
  const std::string strl = List("strl", {StreamHeader("vids", "XVID"), VideoFormat("XVID"),
                                         Chunk("indx", std::string(24, '\0'))});
  const std::string odml = List("odml", {Chunk("dmlh", Le32(12345) + std::string(244, '\0'))});
  const std::string file = Riff("AVI ", {List("hdrl", {MainHeader(1), strl, odml}), Movi()}) +
                           Riff("AVIX", {Movi()}) + Riff("AVIX", {Movi()});
  const AviWalk walk = Walk(file);
  EXPECT_TRUE(walk.hasOpenDml);
  EXPECT_EQ(walk.openDmlFrames, 12345u);
  ASSERT_EQ(walk.streams.size(), 1u);
  EXPECT_TRUE(walk.streams[0].hasSuperIndex);
  EXPECT_EQ(walk.extendedRiffs, 2);
  EXPECT_FALSE(walk.hasIdx1);
  EXPECT_TRUE(walk.problems.empty()) << AllProblems(walk);  // indx is an index

  const AviWalk junkAfter = Walk(file + Chunk("JUNK", "pad") + Chunk("abcd", "x"));
  EXPECT_EQ(junkAfter.extendedRiffs, 2);
  EXPECT_TRUE(HasProblem(junkAfter, "chunk 'abcd' at offset"));
}

TEST(RiffWalkTest, FilesThatAreNotAviSayWhy) {
  EXPECT_TRUE(HasProblem(Walk(""), "too short"));
  EXPECT_TRUE(HasProblem(Walk("RIFF\x04\0\0"), "too short"));
  const AviWalk rifx = Walk(std::string("RIFX\x04\0\0\0AVI ", 12));
  EXPECT_FALSE(rifx.isRiff);
  EXPECT_TRUE(HasProblem(rifx, "does not start with 'RIFF'"));
  const AviWalk wave = Walk(Riff("WAVE", {Chunk("fmt ", std::string(16, '\0'))}));
  EXPECT_TRUE(wave.isRiff);
  EXPECT_FALSE(wave.isAvi);
  EXPECT_TRUE(HasProblem(wave, "RIFF form 'WAVE' is not 'AVI '"));
  EXPECT_TRUE(wave.streams.empty());
}

TEST(RiffWalkTest, MissingPartsAreProblems) {
  const AviWalk noHeader = Walk(Riff("AVI ", {Movi(), Index()}));
  EXPECT_TRUE(HasProblem(noHeader, "no header list 'hdrl'"));
  const AviWalk noMovi = Walk(Riff("AVI ", {List("hdrl", {MainHeader(1), VideoStream("cvid")})}));
  EXPECT_TRUE(HasProblem(noMovi, "no 'movi' list"));
  const AviWalk noIndex =
      Walk(Riff("AVI ", {List("hdrl", {MainHeader(1), VideoStream("cvid")}), Movi()}));
  EXPECT_TRUE(HasProblem(noIndex, "no index"));
  const AviWalk miscount =
      Walk(Riff("AVI ", {List("hdrl", {MainHeader(3), VideoStream("cvid")}), Movi(), Index()}));
  EXPECT_TRUE(HasProblem(miscount, "declares 3 streams, the file describes 1"));
  const AviWalk noFormat = Walk(Avi({List("strl", {StreamHeader("vids", "cvid")})}));
  EXPECT_TRUE(HasProblem(noFormat, "stream 0 has no format 'strf'"));
  EXPECT_FALSE(noFormat.streams[0].hasFormat);
  const AviWalk shortFormat = Walk(
      Avi({List("strl", {StreamHeader("vids", "cvid"), Chunk("strf", std::string(19, 'x'))})}));
  EXPECT_TRUE(HasProblem(shortFormat, "video format is 19 bytes, too short"));
  EXPECT_FALSE(shortFormat.streams[0].hasFormat);
  const AviWalk shortHeader =
      Walk(Avi({List("strl", {Chunk("strh", "vids"), VideoFormat("cvid")})}));
  EXPECT_TRUE(HasProblem(shortHeader, "header 'strh' is too short"));
}

TEST(RiffWalkTest, EveryCutOfAFileIsWalkedWithinItsBytes) {
  const std::string file = Avi({VideoStream("cvid"), AudioStream(0x0055)});
  for (size_t n = 0; n < file.size(); ++n) {
    const AviWalk walk = Walk(file.substr(0, n));
    EXPECT_FALSE(walk.problems.empty()) << n;
    if (n >= 12) {
      EXPECT_TRUE(walk.truncated) << n;
    }
    EXPECT_LE(walk.streams.size(), 2u);
  }
  // Cut inside the frames: both streams are still there and the cut is told.
  const size_t moviAt = file.find("movi");
  const AviWalk cut = Walk(file.substr(0, moviAt + 6));
  EXPECT_EQ(cut.streams.size(), 2u);
  EXPECT_TRUE(cut.hasMovi);
  EXPECT_TRUE(HasProblem(cut, "the file is cut short"));
}

// A file cut after its 'movi' list began but before a whole chunk of data in it has the
// list and no frame: it is told as holding none, and missing the index is not its problem.
TEST(RiffWalkTest, AFileCutBeforeItsFirstWholeFrameHoldsNoFrames) {
  const std::string file = PaddedAvi({VideoStream("CRAM"), AudioStream(0x0001)});
  ASSERT_EQ(file.substr(2036, 4), "LIST");
  ASSERT_EQ(file.substr(2044, 4), "movi");
  const AviWalk whole = Walk(file);
  EXPECT_TRUE(whole.holdsFrames());
  EXPECT_TRUE(whole.problems.empty()) << AllProblems(whole);

  const std::string header = file.substr(0, 2036);
  const std::string empty = Chunk("00dc", "");  // a dropped frame
  const struct {
    const char* what;
    std::string bytes;
  } kCases[] = {
      {"cut where the frames begin", file.substr(0, 2048)},
      {"cut inside the first chunk header", file.substr(0, 2052)},
      {"cut after the first chunk header", file.substr(0, 2056)},
      {"cut inside the first chunk", file.substr(0, 2048 + 8 + 1000)},
      {"cut after JUNK and empty chunks", header + ChunkDeclaring("LIST", 90000, "movi") +
                                              Chunk("JUNK", "xy") + empty + empty +
                                              ChunkDeclaring("00dc", 3000, "ff")},
      {"cut inside a 'rec ' list", header + ChunkDeclaring("LIST", 90000, "movi") +
                                       ChunkDeclaring("LIST", 9000, "rec ") +
                                       ChunkDeclaring("00dc", 3000, "ff")},
      {"complete but empty", Riff("AVI ", {List("hdrl", {MainHeader(1), VideoStream("cvid")}),
                                           List("movi", {Chunk("JUNK", "x"), empty}), Index()})},
      // Sound before the first frame, as interleaving writers put it: no picture is whole.
      {"cut after the first sound chunk", file.substr(0, 2048 + 8 + 2206)},
      {"cut before the sound chunk's pad byte", file.substr(0, 2048 + 8 + 2205)},
      {"cut inside the first frame after sound", file.substr(0, 2048 + 8 + 2206 + 8 + 1000)},
      {"sound alone in a 'rec ' list", header + ChunkDeclaring("LIST", 90000, "movi") +
                                           List("rec ", {Chunk("01wb", "ss")}) +
                                           ChunkDeclaring("00dc", 99, "")},
      {"sound of a stream the header does not describe",
       PaddedAvi({VideoStream("MJPG")}).substr(0, 2048 + 2214)},
      {"sound first, the video stream second",
       Riff("AVI ", {List("hdrl", {MainHeader(2), AudioStream(0x0001), VideoStream("MJPG")}),
                     ChunkDeclaring("LIST", 90000, "movi") + Chunk("00wb", "ss") +
                         Chunk("00wb", "tt") + ChunkDeclaring("01dc", 500, "ff")})},
  };
  for (const auto& c : kCases) {
    const AviWalk walk = Walk(c.bytes);
    EXPECT_TRUE(walk.hasMovi) << c.what;
    EXPECT_FALSE(walk.hasFrames) << c.what;
    EXPECT_FALSE(walk.holdsFrames()) << c.what;
    EXPECT_TRUE(HasProblem(walk, "holds no whole frame")) << c.what << "\n" << AllProblems(walk);
    EXPECT_FALSE(HasProblem(walk, "no index")) << c.what;
  }

  // One whole chunk of a video stream is a frame, in a 'rec ' list, behind JUNK or sound
  // too; in a file of sound alone, one whole chunk of sound.
  const std::string recList = header + ChunkDeclaring("LIST", 90000, "movi") +
                              List("rec ", {Chunk("01wb", "ss"), Chunk("00dc", "f")}) +
                              ChunkDeclaring("00dc", 99, "");
  const std::string afterJunk = header + ChunkDeclaring("LIST", 90000, "movi") +
                                Chunk("JUNK", "x") + empty + Chunk("00dc", "f");
  const std::string videoSecond =
      Riff("AVI ", {List("hdrl", {MainHeader(2), AudioStream(0x0001), VideoStream("MJPG")}),
                    ChunkDeclaring("LIST", 90000, "movi") + Chunk("00wb", "ss") +
                        Chunk("01dc", "f") + ChunkDeclaring("00wb", 500, "ss")});
  const std::string soundAlone =
      Riff("AVI ", {List("hdrl", {MainHeader(1), AudioStream(0x0001)}),
                    ChunkDeclaring("LIST", 90000, "movi") + Chunk("00wb", "ss") +
                        ChunkDeclaring("00wb", 500, "ss")});
  const std::string undescribed =
      header + ChunkDeclaring("LIST", 90000, "movi") + Chunk("02wb", "s") + Chunk("05db", "f");
  for (const std::string& bytes : {recList, afterJunk, videoSecond, soundAlone, undescribed,
                                   file.substr(0, 2048 + 8 + 2206 + 8 + 3000)}) {
    const AviWalk walk = Walk(bytes);
    EXPECT_TRUE(walk.holdsFrames()) << AllProblems(walk);
    EXPECT_TRUE(walk.truncated);
  }
}

// Bytes after the last RIFF form, as capture tools leave when they pad a file to a whole
// sector, are neither a cut nor a chunk: only AVIX forms and whole chunks are read there.
TEST(RiffWalkTest, BytesAfterTheLastFormAreNotACut) {
  const std::string file = PaddedAvi({VideoStream("MJPG"), AudioStream(0x0001)});
  const std::string extended =
      Riff("AVI ", {List("hdrl", {MainHeader(1), VideoStream("XVID")}), Movi(), Index()}) +
      Riff("AVIX", {Movi()});
  const struct {
    const char* what;
    std::string junk;
  } kCases[] = {
      {"zeros to the sector", std::string(472, '\0')},
      {"0xFF bytes", std::string(300, '\xFF')},
      {"text that reads as a huge chunk", "abcd" + Le32(0x00400000) + std::string(200, 'z')},
      {"a chunk id whose size runs past the end", "JUNK" + Le32(5000) + std::string(100, 'j')},
      {"a RIFF header of another form", "RIFF" + Le32(9000) + "AVI " + std::string(60, '\0')},
      {"fewer bytes than a chunk header", "\x01\x02\x03"},
      {"leftover memory", std::string("\x10\x00\x00\x00\xDE\xAD\xBE\xEF\x00\x01", 10)},
  };
  for (const std::string& form : {file, extended}) {
    for (const auto& c : kCases) {
      const AviWalk walk = Walk(form + c.junk);
      EXPECT_FALSE(walk.truncated) << c.what;
      EXPECT_TRUE(walk.problems.empty()) << c.what << "\n" << AllProblems(walk);
      EXPECT_TRUE(walk.holdsFrames() && walk.hasIdx1) << c.what;
      EXPECT_EQ(walk.extendedRiffs, form == extended ? 1 : 0) << c.what;
    }
  }
  // An AVIX form that runs past the end is still a cut.
  const std::string avix = Riff("AVIX", {Movi()});
  const AviWalk cut = Walk(extended + avix.substr(0, avix.size() - 4));
  EXPECT_TRUE(cut.truncated);
  EXPECT_EQ(cut.extendedRiffs, 2);
}

TEST(RiffWalkTest, HugeSizesAreClippedWithoutOverflow) {
  // A stream list that claims 4 GiB inside a small header list, and a RIFF size near 4 GiB.
  const std::string hdrl =
      List("hdrl", {MainHeader(1), ChunkDeclaring("LIST", 0xFFFFFFFF, "strl") +
                                       StreamHeader("vids", "cvid") + VideoFormat("cvid")});
  const AviWalk walk = Walk(Riff("AVI ", {hdrl, Movi(), Index()}));
  EXPECT_TRUE(HasProblem(walk, "declares 4294967295 bytes"));
  ASSERT_EQ(walk.streams.size(), 1u);  // read up to where its parent ends
  EXPECT_EQ(walk.streams[0].compression, FourCC("cvid"));
  EXPECT_TRUE(walk.hasMovi);  // the clip ends at the header list, not the file
  EXPECT_FALSE(walk.truncated);

  // A RIFF size of -8 is one never filled in, not a cut: the file is read to its end.
  std::string file = Avi({VideoStream("cvid")});
  file.replace(4, 4, Le32(0xFFFFFFF8));
  const AviWalk riff = Walk(file);
  EXPECT_FALSE(riff.truncated);
  EXPECT_TRUE(HasProblem(riff, "a size never filled in")) << AllProblems(riff);
  EXPECT_EQ(riff.streams.size(), 1u);
  EXPECT_TRUE(riff.hasIdx1);
  EXPECT_TRUE(riff.holdsFrames());

  // Sizes that would bring a 32-bit offset back to where it was, or before it.
  for (uint32_t size :
       {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFF8u, 0xFFFFFFF0u, 0x80000000u, 0x7FFFFFFFu}) {
    const std::string chunk = ChunkDeclaring("avih", size, std::string(64, 'a'));
    const AviWalk bad = Walk(Riff("AVI ", {List("hdrl", {chunk})}));
    EXPECT_FALSE(bad.problems.empty()) << size;
  }
}

// A RIFF size never filled in: the whole file is read, up to padding that is no chunk (a
// capture tool's sector fill), which is not a cut; a chunk the file cuts short still is.
// The size may be 0, or the -1 or -8 that writers leave in a file they never closed.
TEST(RiffWalkTest, UnfinishedRiffSizeReadsTheWholeFile) {
  for (uint32_t unset : {0u, 0xFFFFFFFFu, 0xFFFFFFF8u}) {
    std::string file = Avi({VideoStream("cvid")});
    file.replace(4, 4, Le32(unset));
    const struct {
      const char* what;
      std::string bytes;
      bool truncated;
    } kCases[] = {
        {"nothing after the index", file, false},
        {"zeros to the sector", file + std::string(472, '\0'), false},
        {"0xFF bytes", file + std::string(300, '\xFF'), false},
        {"leftover memory", file + std::string("\x10\x00\x00\x00\xDE\xAD\xBE\xEF\x00\x01", 10),
         false},
        {"a chunk cut short", file + ChunkDeclaring("JUNK", 5000, std::string(100, 'j')), true},
    };
    for (const auto& c : kCases) {
      SCOPED_TRACE(Format("%s, RIFF size %u", c.what, unset));
      const AviWalk walk = Walk(c.bytes);
      EXPECT_TRUE(HasProblem(walk, Format("declares %u bytes", unset))) << AllProblems(walk);
      EXPECT_TRUE(HasProblem(walk, "; reading the whole file instead"));
      EXPECT_EQ(walk.streams.size(), 1u);
      EXPECT_TRUE(walk.hasMovi && walk.hasIdx1);
      EXPECT_EQ(walk.truncated, c.truncated) << AllProblems(walk);
      EXPECT_EQ(walk.problems.size(), c.truncated ? 2u : 1u) << AllProblems(walk);
    }
  }
}

// A RIFF size past the end of the file is a cut, unless the file ends with its whole
// index where its last chunk ends: then nothing is missing and the size is wrong.
TEST(RiffWalkTest, ARiffSizePastTheFileIsACutUnlessTheIndexEndsIt) {
  const std::string file = PaddedAvi({VideoStream("MJPG"), AudioStream(0x0001)});
  const size_t size = file.size();
  const auto declaring = [](std::string bytes, uint32_t declared) {
    bytes.replace(4, 4, Le32(declared));
    return bytes;
  };
  const size_t indexAt = file.rfind("idx1");
  const struct {
    const char* what;
    std::string bytes;
    bool truncated;
  } kCases[] = {
      {"a size 1000 bytes too large", declaring(file, size - 8 + 1000), false},
      {"a size of 2 GiB", declaring(file, 0x7FFFFFF0), false},
      {"a size with its top bit set", declaring(file, 0x8000F000), false},
      {"cut inside the index", file.substr(0, size - 4), true},
      {"cut after the index's header", file.substr(0, indexAt + 8), true},
      {"cut where the index begins", file.substr(0, indexAt), true},
      {"cut inside the frames", file.substr(0, 2048 + 2214 + 3008 + 100), true},
      {"a chunk after the index, then a cut",
       declaring(file + Chunk("JUNK", "ab"), static_cast<uint32_t>(size + 1000)), true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const AviWalk walk = Walk(c.bytes);
    EXPECT_EQ(walk.truncated, c.truncated) << AllProblems(walk);
    EXPECT_EQ(HasProblem(walk, "the file is cut short"), c.truncated) << AllProblems(walk);
    EXPECT_EQ(HasProblem(walk, "the RIFF size is wrong"), !c.truncated) << AllProblems(walk);
    ASSERT_FALSE(walk.problems.empty());
    EXPECT_EQ(walk.problems.front().rfind("the RIFF header declares", 0), 0u);
    EXPECT_TRUE(walk.holdsFrames());
    EXPECT_EQ(walk.streams.size(), 2u);
  }
}

TEST(RiffWalkTest, HostileListsEndWithinBudgets) {
  // Empty lists, lists without a type, and a flood of empty chunks.
  std::string flood;
  for (int i = 0; i < 5000; ++i) flood += Chunk("JUNK", "");
  const AviWalk lists =
      Walk(Riff("AVI ", {List("hdrl", {ChunkDeclaring("LIST", 0, ""), List("strl", {}),
                                       ChunkDeclaring("LIST", 2, "st"), flood}),
                         Movi()}));
  EXPECT_TRUE(HasProblem(lists, "has no list type"));
  EXPECT_EQ(lists.streams.size(), 1u);  // the empty strl
  EXPECT_TRUE(HasProblem(lists, "stream 0 has no stream header"));

  WalkLimits few;
  few.chunkBudget = 100;
  const AviWalk flooded = Walk(Riff("AVI ", {List("hdrl", {flood}), Movi()}), few);
  EXPECT_TRUE(HasProblem(flooded, "too many chunks"));
  EXPECT_FALSE(flooded.hasMovi);

  WalkLimits tiny;
  tiny.byteBudget = 200;
  const std::string three = Avi({VideoStream("cvid"), VideoStream("cvid"), VideoStream("cvid")});
  StrictSource source(three);
  const AviWalk budget = WalkAvi(source, tiny);
  EXPECT_LE(source.bytesRead, 200u);
  EXPECT_TRUE(HasProblem(budget, "stopped reading")) << AllProblems(budget) << source.bytesRead;
}

TEST(RiffWalkTest, StrayBytesAtTheEndOfAListAreTold) {
  const AviWalk walk =
      Walk(Riff("AVI ", {List("hdrl", {MainHeader(1), VideoStream("cvid"), std::string("abcde")}),
                         Movi(), Index()}));
  // The list body is odd; its pad byte is part of the RIFF form, not of the list.
  EXPECT_TRUE(HasProblem(walk, "5 stray bytes"));
  EXPECT_EQ(walk.streams.size(), 1u);
  EXPECT_TRUE(walk.hasMovi);
}

TEST(RiffWalkTest, FileSourceReadsLikeMemory) {
  const std::string bytes = Avi({VideoStream("XVID"), AudioStream(0x0055)});
  ScratchDir dir;
  std::FILE* file = std::fopen(dir.Write("a.avi", bytes).c_str(), "rb");
  ASSERT_NE(file, nullptr);
  FileByteSource source(file);
  EXPECT_EQ(source.Size(), bytes.size());
  uint8_t past[4];
  EXPECT_FALSE(source.ReadAt(bytes.size() - 2, past, 4));
  const AviWalk fromFile = WalkAvi(source);
  std::fclose(file);
  const AviWalk fromMemory = Walk(bytes);
  ASSERT_EQ(fromFile.streams.size(), 2u);
  EXPECT_EQ(fromFile.streams[0].compression, fromMemory.streams[0].compression);
  EXPECT_EQ(fromFile.streams[1].formatTag, 0x0055);
  EXPECT_EQ(fromFile.problems, fromMemory.problems);
}

TEST(RiffWalkTest, FourCCTextShowsUnprintableCodesInHex) {
  EXPECT_EQ(FourCCText(FourCC("cvid")), "cvid");
  EXPECT_EQ(FourCCText(FourCC("dvc ")), "dvc ");
  EXPECT_EQ(FourCCText(0), "0x00000000");
  EXPECT_EQ(FourCCText(0x80414243), "0x80414243");
}

}  // namespace
}  // namespace korvane

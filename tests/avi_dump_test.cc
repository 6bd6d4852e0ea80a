// The file dump on files made here: line counts, verdicts, FourCC look-up.
#include "avi/avi_dump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "avi/codec_names.h"
#include "avi/codec_table.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

std::string LittleEndian32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

// A file of `size` bytes: magic and declared size at 0, FourCC at 188, filler elsewhere.
std::string RiffBytes(size_t size, const std::string& magic, uint32_t declared,
                      const std::string& fourcc = "CVID") {
  std::string bytes(size, '\x01');
  const std::string head = magic + LittleEndian32(declared) + "AVI LIST";
  bytes.replace(0, std::min(size, head.size()), head.substr(0, std::min(size, head.size())));
  if (size >= 192) bytes.replace(188, 4, fourcc);
  return bytes;
}

class AviDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetReportMoreErrors();
    SetMainWindow(&window);
  }
  void TearDown() override { SetMainWindow(nullptr); }

  // Dumps bytes written to a scratch file; returns the report lines.
  std::vector<std::string> Dump(const std::string& bytes) {
    path = scratch.Write("f.avi", bytes);
    window.lines.clear();
    EXPECT_TRUE(DumpAviFile(window, path));
    return window.lines;
  }
  static int DumpLineCount(const std::vector<std::string>& lines) {
    int n = 0;
    for (const std::string& line : lines) n += line.size() == 67 && line[2] == ' ';
    return n;
  }

  ReportLines window;
  test::ScratchDir scratch;
  std::string path;
};

TEST_F(AviDumpTest, DumpLineShowsHexAndLettersAndDigitsOnly) {
  const unsigned char block[16] = {0x52, 0x49, 0x46, 0x46, 0x38, 0xE2, 0x01, 0x00,
                                   0x41, 0x56, 0x49, 0x20, 0x4C, 0x49, 0x53, 0x54};
  const std::string line = DumpLine(block);
  EXPECT_EQ(line, "52 49 46 46 38 E2 01 00 | 41 56 49 20 4C 49 53 54 |RIFF8   AVI LIST");
  EXPECT_EQ(line.size(), 67u);
  const unsigned char odd[16] = {0, 0x7F, 0x80, 0xFF, '/', ':', '@', '[',
                                 '`', '{', '0', '9', 'A', 'Z', 'a', 'z'};
  EXPECT_EQ(DumpLine(odd).substr(51), "          09AZaz");
}

// The dump line is built without the formatter; it must match the formatter's output
// for its format in every position and for every byte value.
TEST_F(AviDumpTest, DumpLineMatchesTheFormatterForEveryByte) {
  for (int value = 0; value < 256; ++value) {
    for (int position = 0; position < kDumpBlockSize; ++position) {
      unsigned char b[kDumpBlockSize];
      for (int i = 0; i < kDumpBlockSize; ++i) b[i] = static_cast<unsigned char>(value + i * 37);
      b[position] = static_cast<unsigned char>(value);
      char t[kDumpBlockSize];
      for (int i = 0; i < kDumpBlockSize; ++i) {
        t[i] = b[i] < 0x80 && std::isalnum(b[i]) ? static_cast<char>(b[i]) : ' ';
      }
      const std::string expected =
          Format(kDumpLineFormat, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9],
                 b[10], b[11], b[12], b[13], b[14], b[15], t[0], t[1], t[2], t[3], t[4], t[5],
                 t[6], t[7], t[8], t[9], t[10], t[11], t[12], t[13], t[14], t[15]);
      ASSERT_EQ(DumpLine(b), expected) << "byte " << value << " at " << position;
      ASSERT_EQ(expected.size(), static_cast<size_t>(kDumpLineLength));
    }
  }
}

TEST_F(AviDumpTest, CompleteAviFile) {
  const auto lines = Dump(RiffBytes(123456, "RIFF", 123448));
  ASSERT_EQ(lines.size(), 2u + 24u + 2u);
  EXPECT_EQ(lines[0], "======== File dump ==========");
  EXPECT_EQ(lines[1], path + " - size 0x0001E240 (123456)");
  EXPECT_EQ(lines[2], "52 49 46 46 38 E2 01 00 | 41 56 49 20 4C 49 53 54 |RIFF8   AVI LIST");
  EXPECT_EQ(lines[26], "RIFF file");
  EXPECT_EQ(lines[27], "codec by fourcc: Cinepak by Radius");
  EXPECT_EQ(window.pathField, path);
}

TEST_F(AviDumpTest, EmptyFile) {
  const auto lines = Dump("");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "======== File dump ==========", path + " - size 0x00000000 (0)",
                       "File does not start with 'RIFF'", "File seems to be truncated",
                       "codec by fourcc: unknown"}));
}

TEST_F(AviDumpTest, ShortFilesShowOnlyWholeBlocks) {
  for (size_t size : {1, 15}) {
    const auto lines = Dump(RiffBytes(size, "RIFF", 0));
    EXPECT_EQ(DumpLineCount(lines), 0) << size;
    EXPECT_EQ(lines.back(), "codec by fourcc: unknown");
    // The header was never read in full, so both header fields stay zero.
    EXPECT_EQ(lines[lines.size() - 2], "File does not start with 'RIFF'") << size;
  }
  EXPECT_EQ(DumpLineCount(Dump(std::string(100, 'a'))), 6);
  EXPECT_EQ(DumpLineCount(Dump(std::string(383, 'a'))), 23);
  EXPECT_EQ(DumpLineCount(Dump(std::string(384, 'a'))), 24);
  EXPECT_EQ(DumpLineCount(Dump(std::string(5000, 'a'))), 24);
}

TEST_F(AviDumpTest, FourCCNeedsTheTwelfthBlockInFull) {
  std::string bytes = RiffBytes(191, "RIFF", 183);
  bytes.replace(188, 3, "CVI");
  EXPECT_EQ(Dump(bytes).back(), "codec by fourcc: unknown");
  EXPECT_EQ(DumpLineCount(window.lines), 11);
  EXPECT_EQ(Dump(RiffBytes(192, "RIFF", 184)).back(), "codec by fourcc: Cinepak by Radius");
}

TEST_F(AviDumpTest, MagicMustBeRiffExactly) {
  EXPECT_EQ(Dump(RiffBytes(400, "RIFF", 392))[26], "RIFF file");
  EXPECT_EQ(Dump(RiffBytes(400, "RIFX", 392))[26], "File does not start with 'RIFF'");
  EXPECT_EQ(Dump(RiffBytes(400, "riff", 392))[26], "File does not start with 'RIFF'");
}

TEST_F(AviDumpTest, TruncationIsDeclaredSizeAtLeastFileSize) {
  const char kTruncated[] = "File seems to be truncated";
  auto hasTruncated = [&](uint32_t declared) {
    const auto lines = Dump(RiffBytes(1000, "RIFF", declared));
    return std::find(lines.begin(), lines.end(), kTruncated) != lines.end();
  };
  EXPECT_FALSE(hasTruncated(992));         // complete: declared + 8 == size
  EXPECT_FALSE(hasTruncated(999));         // 7 bytes short: not told
  EXPECT_TRUE(hasTruncated(1000));         // 8 bytes short
  EXPECT_TRUE(hasTruncated(1001));
  EXPECT_FALSE(hasTruncated(0x80000000u)); // top bit set: negative, never told
  EXPECT_FALSE(hasTruncated(0xFFFFFFF0u));
  // Tested whatever the magic.
  const auto wave = Dump(RiffBytes(1000, "RIFX", 5000));
  EXPECT_NE(std::find(wave.begin(), wave.end(), kTruncated), wave.end());
}

TEST_F(AviDumpTest, FilesOfTwoGigabytesOrMoreShowTheirRealSize) {
  path = scratch.path() + "/big.avi";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const std::string head = RiffBytes(400, "RIFF", 0xC0000000u - 8, "MJPG");
  std::fwrite(head.data(), 1, head.size(), f);
  std::fclose(f);
  const int64_t size = int64_t{3} << 30;  // a sparse 3 GiB file
  if (truncate(path.c_str(), size) != 0) GTEST_SKIP() << "no sparse files here";
  ASSERT_TRUE(DumpAviFile(window, path));
  EXPECT_EQ(window.lines[1], path + " - size 0xC0000000 (3221225472)");
  EXPECT_EQ(window.lines[26], "RIFF file");
  EXPECT_EQ(window.lines[27], "codec by fourcc: MotionJPEG");  // and not called truncated
  ASSERT_EQ(truncate(path.c_str(), size - 16), 0);
  window.lines.clear();
  DumpAviFile(window, path);
  EXPECT_EQ(window.lines[27], "File seems to be truncated");
}

TEST_F(AviDumpTest, DumpsAccumulateAfterWhatTheListHolds) {
  window.lines = {"earlier run"};
  path = scratch.Write("a.avi", RiffBytes(400, "RIFF", 392));
  DumpAviFile(window, path);
  DumpAviFile(window, path);
  EXPECT_EQ(window.lines.size(), 1u + 2 * 28u);
  EXPECT_EQ(window.lines[0], "earlier run");
  EXPECT_EQ(window.lines[29], "======== File dump ==========");
}

TEST_F(AviDumpTest, UnopenableFilePromptsAndAddsNothing) {
  window.pathField = "previous.avi";
  const std::string missing = scratch.path() + "/nope.avi";
  EXPECT_FALSE(DumpAviFile(window, missing));
  EXPECT_TRUE(window.lines.empty());
  EXPECT_EQ(window.pathField, "previous.avi");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "can't open " + missing + "\r\n\r\nReport more errors ?");
}

// Over every code of four capital letters and digits: the dump names a code in its
// upper-case and its lower-case spelling alike and in no spelling that mixes the two, and
// every code it names is one the decoder check knows too, so the two never disagree on
// whether a file's codec is known.
TEST(CodecNames, OnlyWholeUpperOrLowerSpellingsMatchAndTheCheckKnowsEach) {
  const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  int named = 0;
  for (const char a : std::string(kAlphabet)) {
    for (const char b : std::string(kAlphabet)) {
      for (const char c : std::string(kAlphabet)) {
        for (const char d : std::string(kAlphabet)) {
          const char* upper = CodecName(MakeFourCC(a, b, c, d));
          const char* lowered = CodecName(MakeFourCC(lower(a), lower(b), lower(c), lower(d)));
          ASSERT_STREQ(upper, lowered) << a << b << c << d;
          if (std::strcmp(upper, "unknown") == 0) continue;
          ++named;
          ASSERT_NE(FindVideoCodec(MakeFourCC(a, b, c, d)), nullptr) << a << b << c << d;
          // Each mix: one letter lowered, the others as they are.
          const char code[4] = {a, b, c, d};
          for (int i = 0; i < 4; ++i) {
            if (lower(code[i]) == code[i]) continue;
            char mixed[4] = {a, b, c, d};
            mixed[i] = lower(code[i]);
            EXPECT_STREQ(CodecName(MakeFourCC(mixed[0], mixed[1], mixed[2], mixed[3])), "unknown")
                << std::string(mixed, 4);
          }
        }
      }
    }
  }
  EXPECT_GT(named, 0);
  EXPECT_STREQ(CodecName(0), "unknown");  // BI_RGB has no FourCC to name
}

}  // namespace
}  // namespace korvane

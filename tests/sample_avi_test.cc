// The file dump on AVI files made by a real muxer (ffmpeg), cross-checked with ffprobe.
#include <gtest/gtest.h>

#include <filesystem>

#include "avi/avi_dump.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

constexpr char kMakeSampleAvis[] = "scripts/make-sample-avis.sh";

class SampleAviTest : public test::SampleFilesTest<kMakeSampleAvis> {
 protected:
  void SetUp() override {
    SampleFilesTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ResetReportMoreErrors();
    SetMainWindow(&window);
  }
  void TearDown() override { SetMainWindow(nullptr); }

  std::vector<std::string> Dump(const std::string& name) {
    window.lines.clear();
    EXPECT_TRUE(DumpAviFile(window, Path(name)));
    return window.lines;
  }
  // The FourCC of the first video stream as ffprobe reads it from the file's headers.
  static std::string ProbedTag(const std::string& name) {
    const auto r = test::RunCommand(
        "ffprobe -v error -select_streams v:0 -show_entries stream=codec_tag_string "
        "-of default=nw=1:nk=1 " +
        test::ShellQuote(Path(name)));
    return r.out.substr(0, r.out.find('\n'));
  }

  ReportLines window;
};

TEST_F(SampleAviTest, CodecLineFollowsTheTagInTheFile) {
  const std::pair<const char*, const char*> cases[] = {
      {"cinepak-upper", "Cinepak by Radius"}, {"cinepak-lower", "Cinepak by Radius"},
      {"cinepak-mixed", "unknown"},           {"mjpeg-upper", "MotionJPEG"},
      {"mjpeg-lower", "MotionJPEG"},          {"msmpeg4v2-upper", "MS MPEG4 V2"},
      {"msmpeg4v2-lower", "MS MPEG4 V2"},     {"msmpeg4v3-upper", "MS MPEG4 V3"},
      {"msmpeg4v3-lower", "MS MPEG4 V3"},     {"msmpeg4v3-divx", "DivX ;-)"},
      {"msmpeg4v3-mixed", "unknown"},
  };
  for (const auto& [name, codec] : cases) {
    const auto lines = Dump(name);
    ASSERT_EQ(lines.size(), 28u) << name;  // heading, size, 24 dump lines, RIFF, codec
    EXPECT_EQ(lines[26], "RIFF file") << name;
    EXPECT_EQ(lines[27], std::string("codec by fourcc: ") + codec) << name;
  }
}

TEST_F(SampleAviTest, OffsetOf188IsTheTagFfprobeReads) {
  for (const char* name : {"cinepak-mixed", "mjpeg-lower", "msmpeg4v3-divx"}) {
    const std::string bytes = test::ReadFile(Path(name));
    ASSERT_GE(bytes.size(), 192u);
    EXPECT_EQ(bytes.substr(188, 4), ProbedTag(name)) << name;
  }
}

TEST_F(SampleAviTest, SizeLineAndFirstBlockMatchTheFile) {
  const std::string bytes = test::ReadFile(Path("mjpeg-upper"));
  const auto lines = Dump("mjpeg-upper");
  char expected[64];
  std::snprintf(expected, sizeof expected, " - size 0x%08zX (%zu)", bytes.size(), bytes.size());
  EXPECT_EQ(lines[1], Path("mjpeg-upper") + expected);
  EXPECT_EQ(lines[2].substr(0, 12), "52 49 46 46 ");
  EXPECT_EQ(lines[2].substr(51, 4), "RIFF");
  EXPECT_EQ(lines[2].substr(59, 8), "AVI LIST");
}

TEST_F(SampleAviTest, CuttingTheFileIsToldFromEightBytesOn) {
  const std::string bytes = test::ReadFile(Path("cinepak-upper"));
  test::ScratchDir scratch;
  for (size_t cut : {1, 7, 8, 100}) {
    const std::string path = scratch.Write("cut.avi", bytes.substr(0, bytes.size() - cut));
    window.lines.clear();
    DumpAviFile(window, path);
    const bool told = window.lines[27] == "File seems to be truncated";
    EXPECT_EQ(told, cut >= 8) << cut;
  }
}

}  // namespace
}  // namespace korvane

// The RIFF walk and the decoder check on AVI files made by ffmpeg, cross-checked with
// ffprobe, against a machine with the usual Windows 98 drivers and against a bare one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "avi/riff_walk.h"
#include "diag/decoder_check.h"
#include "platform/format.h"
#include "tests/fake_system.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

struct Sample {
  const char* name;
  const char* videoCode;  // the video stream's code as the check shows it
  const char* videoCodec;
  int audioTag;  // -1: no audio stream
  const char* audioCodec;
  bool readyOnWin98;  // every decoder there on the machine below
};

const Sample kSamples[] = {
    {"v-cinepak", "cvid", "Cinepak", -1, "", true},
    {"v-mjpeg", "MJPG", "Motion JPEG", -1, "", false},
    {"v-msmpeg4v2", "MP42", "MS MPEG-4 v2", -1, "", true},
    {"v-msmpeg4v3", "MP43", "MS MPEG-4 v3", -1, "", true},
    {"v-msmpeg4v3-div3", "DIV3", "DivX ;-) 3 (MS MPEG-4 v3)", -1, "", false},
    {"v-mpeg4", "FMP4", "FFmpeg MPEG-4", -1, "", false},
    {"v-mpeg4-xvid", "XVID", "Xvid MPEG-4", -1, "", false},
    {"v-mpeg4-divx", "DIVX", "DivX 4 MPEG-4", -1, "", false},
    {"v-mpeg4-dx50", "DX50", "DivX 5 MPEG-4", -1, "", false},
    {"v-huffyuv", "HFYU", "Huffyuv", -1, "", false},
    {"v-msvideo1", "MSVC", "Microsoft Video 1", -1, "", true},
    {"v-msvideo1-cram", "CRAM", "Microsoft Video 1", -1, "", true},
    {"v-rawvideo-rgb", "BI_RGB", "uncompressed RGB", -1, "", true},
    {"v-rawvideo-i420", "I420", "YUV 4:2:0 (I420)", -1, "", false},
    {"v-rawvideo-yuy2", "YUY2", "YUV 4:2:2 (YUY2)", -1, "", false},
    {"v-ffv1", "FFV1", "FFV1", -1, "", false},
    {"v-zmbv", "ZMBV", "DOSBox Capture (ZMBV)", -1, "", false},
    {"v-h264", "H264", "H.264", -1, "", false},
    {"v-dvvideo", "dvsd", "DV (standard definition)", -1, "", false},
    {"a-pcm", "BI_RGB", "uncompressed RGB", 0x0001, "PCM", true},
    {"a-adpcm-ms", "BI_RGB", "uncompressed RGB", 0x0002, "Microsoft ADPCM", true},
    {"a-adpcm-ima", "BI_RGB", "uncompressed RGB", 0x0011, "IMA ADPCM", true},
    {"a-mp3", "BI_RGB", "uncompressed RGB", 0x0055, "MP3", true},
    {"a-mp2", "BI_RGB", "uncompressed RGB", 0x0050, "MPEG-1 layer 1 or 2", false},
    {"a-ac3", "BI_RGB", "uncompressed RGB", 0x2000, "Dolby AC-3", false},
    {"a-gsm", "BI_RGB", "uncompressed RGB", 0x0031, "GSM 6.10", true},
    {"a-float", "BI_RGB", "uncompressed RGB", 0x0003, "IEEE float PCM", true},
    {"a-aac", "BI_RGB", "uncompressed RGB", 0x00FF, "AAC", false},
    {"a-wma2", "BI_RGB", "uncompressed RGB", 0x0161, "Windows Media Audio 2", false},
    {"a-alaw", "BI_RGB", "uncompressed RGB", 0x0006, "G.711 A-law", true},
    {"a-pcm-extensible", "BI_RGB", "uncompressed RGB", 0x0001, "PCM", true},
    {"a-pcm-6ch", "BI_RGB", "uncompressed RGB", 0x0001, "PCM", true},
};

// A Windows 98 SE machine with its own codecs and the MS MPEG-4 ones of Windows Media.
void InstallWin98Drivers(test::FakeSystem* machine) {
  machine->SetSystemIni(
      "[drivers32]\r\n"
      "VIDC.CVID=iccvid.dll\r\nVIDC.MSVC=msvidc32.dll\r\nVIDC.MRLE=msrle32.dll\r\n"
      "VIDC.IV31=ir32_32.dll\r\nVIDC.IV32=ir32_32.dll\r\nvidc.iv50=ir50_32.dll\r\n"
      "vidc.MPG4=mpg4c32.dll\r\nvidc.MP42=mpg4c32.dll\r\nvidc.MP43=mpg4c32.dll\r\n"
      "msacm.imaadpcm=imaadp32.acm\r\nmsacm.msadpcm=msadp32.acm\r\n"
      "msacm.msgsm610=msgsm32.acm\r\nmsacm.msg711=msg711.acm\r\nmsacm.l3acm=l3codeca.acm\r\n"
      "wavemapper=msacm32.drv\r\n");
  for (const char* file :
       {"iccvid.dll", "msvidc32.dll", "msrle32.dll", "ir32_32.dll", "ir50_32.dll", "mpg4c32.dll",
        "imaadp32.acm", "msadp32.acm", "msgsm32.acm", "msg711.acm", "l3codeca.acm"}) {
    machine->AddSystemLibrary(file);
  }
}

constexpr char kMakeCodecAvis[] = "scripts/make-codec-avis.sh";

class SampleCheckTest : public test::SampleFilesTest<kMakeCodecAvis> {
 protected:
  // False (and a failure in CI) when this ffmpeg could not make the file.
  static bool Made(const Sample& sample) {
    if (std::filesystem::exists(Path(sample.name))) return true;
    if (std::getenv("CI") != nullptr) ADD_FAILURE() << sample.name << " was not made";
    return false;
  }

  static AviWalk WalkFile(const std::string& name) {
    std::FILE* file = std::fopen(Path(name).c_str(), "rb");
    EXPECT_NE(file, nullptr) << name;
    if (file == nullptr) return AviWalk();
    FileByteSource source(file);
    AviWalk walk = WalkAvi(source);
    std::fclose(file);
    return walk;
  }

  // codec_type and codec_tag of each stream, as ffprobe reads them: "video 0x64697663".
  static std::vector<std::string> ProbedStreams(const std::string& name) {
    const auto r =
        test::RunCommand("ffprobe -v error -show_entries stream=codec_type,codec_tag -of csv=p=0 " +
                         test::ShellQuote(Path(name)));
    return test::SplitLines(r.out);
  }
};

TEST_F(SampleCheckTest, WalkFindsTheStreamsFfprobeFinds) {
  for (const Sample& sample : kSamples) {
    if (!Made(sample)) continue;
    const AviWalk walk = WalkFile(sample.name);
    EXPECT_TRUE(walk.isAvi && walk.hasMovi && walk.hasIdx1) << sample.name;
    EXPECT_FALSE(walk.truncated) << sample.name;
    EXPECT_TRUE(walk.problems.empty()) << sample.name << ": " << walk.problems.front();
    const std::vector<std::string> probed = ProbedStreams(sample.name);
    ASSERT_EQ(walk.streams.size(), probed.size()) << sample.name;
    for (size_t i = 0; i < probed.size(); ++i) {
      const AviStream& s = walk.streams[i];
      const uint32_t code = s.isAudio() ? s.effectiveFormatTag() : s.compression;
      char expected[64];
      std::snprintf(expected, sizeof expected, "%s,0x%04x", s.isAudio() ? "audio" : "video", code);
      EXPECT_EQ(probed[i], expected) << sample.name << " stream " << i;
    }
  }
}

TEST_F(SampleCheckTest, EachStreamGetsItsCodecAndTheMachineItsVerdict) {
  test::FakeSystem win98;
  InstallWin98Drivers(&win98);
  test::FakeSystem bare;
  const InstalledDrivers win98Drivers = ReadInstalledDrivers(win98);
  const InstalledDrivers bareDrivers = ReadInstalledDrivers(bare);
  for (const Sample& sample : kSamples) {
    if (!Made(sample)) continue;
    const AviWalk walk = WalkFile(sample.name);
    ASSERT_EQ(walk.streams.size(), sample.audioTag < 0 ? 1u : 2u) << sample.name;
    bool readyOnWin98 = true;
    bool readyOnBare = true;
    for (const AviStream& stream : walk.streams) {
      const DecoderCheck check = CheckStreamDecoder(win98, win98Drivers, stream);
      readyOnWin98 = readyOnWin98 && check.ready();
      readyOnBare = readyOnBare && CheckStreamDecoder(bare, bareDrivers, stream).ready();
      if (stream.isVideo()) {
        EXPECT_EQ(check.code, sample.videoCode) << sample.name;
        EXPECT_EQ(check.codecName, sample.videoCodec) << sample.name;
      } else {
        EXPECT_EQ(check.code, Format("0x%04X", sample.audioTag)) << sample.name;
        EXPECT_EQ(check.codecName, sample.audioCodec) << sample.name;
      }
      // A ready decoder on this machine is one that was registered and loaded.
      EXPECT_EQ(check.ready(), !check.needsDecoder || (check.registered && check.loads));
    }
    EXPECT_EQ(readyOnWin98, sample.readyOnWin98) << sample.name;
    const bool builtInOnly = std::string(sample.videoCode) == "BI_RGB" &&
                             (sample.audioTag <= 0x0001 || sample.audioTag == 0x0003);
    EXPECT_EQ(readyOnBare, builtInOnly) << sample.name;
  }
  EXPECT_EQ(win98.freedLibraries, win98.loadAttempts.size());  // all loaded, all freed
}

}  // namespace
}  // namespace korvane

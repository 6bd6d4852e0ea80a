// korvane check as a user runs it on every ffmpeg-made sample: on the example machine and
// on a Wine prefix, in both output forms, with the verdicts the machines' drivers call for.
#include <gtest/gtest.h>

#include <map>

#include "tests/pe_builder.h"
#include "tests/test_support.h"
#include "tests/wine_prefix_builder.h"

namespace korvane {
namespace {

using test::ShellQuote;

const std::string kExample = std::string(KORVANE_SOURCE_DIR) + "/examples/win98se";

// Verdicts by sample: "ok" for playable here, otherwise how the verdict line starts.
using Verdicts = std::map<std::string, std::string>;

// The example machine: Cinepak, MS Video 1, RLE, Indeo 5 and the two ADPCM drivers load;
// DivX 4 is registered but its library needs a missing runtime; nothing else is there.
const Verdicts kOnExample = {
    {"a-aac", "install an ACM decoder for AAC"},
    {"a-ac3", "install an ACM decoder for Dolby AC-3"},
    {"a-adpcm-ima", "ok"},
    {"a-adpcm-ms", "ok"},
    {"a-alaw", "install an ACM decoder for G.711 A-law"},
    {"a-float", "ok"},
    {"a-gsm", "install an ACM decoder for GSM 6.10"},
    {"a-mp2", "install an ACM decoder for MPEG-1 layer 1 or 2"},
    // DirectX 6.1's MPEG Layer-3 Decoder filter plays it for DirectShow players.
    {"a-mp3",
     "plays in DirectShow players (AVI Splitter); Video for Windows programs need "
     "msacm.l3acm"},
    {"a-pcm-6ch", "ok"},
    {"a-pcm-extensible", "ok"},
    {"a-pcm", "ok"},
    {"a-wma2", "install an ACM decoder for Windows Media Audio 2"},
    {"v-cinepak", "ok"},
    {"v-dvvideo", "install a Video for Windows decoder for DV (standard definition)"},
    {"v-ffv1", "install a Video for Windows decoder for FFV1"},
    {"v-h264", "install a Video for Windows decoder for H.264"},
    {"v-huffyuv", "install a Video for Windows decoder for Huffyuv"},
    {"v-mjpeg", "install a Video for Windows decoder for Motion JPEG"},
    {"v-mpeg4-divx", "repair the decoder for DivX 4 MPEG-4 (DIVX)"},
    {"v-mpeg4-dx50", "install a Video for Windows decoder for DivX 5 MPEG-4"},
    {"v-mpeg4-xvid", "install a Video for Windows decoder for Xvid MPEG-4"},
    {"v-mpeg4", "install a Video for Windows decoder for FFmpeg MPEG-4"},
    {"v-msmpeg4v2", "install a Video for Windows decoder for MS MPEG-4 v2"},
    {"v-msmpeg4v3-div3", "install a Video for Windows decoder for DivX ;-) 3"},
    {"v-msmpeg4v3", "install a Video for Windows decoder for MS MPEG-4 v3"},
    {"v-msvideo1-cram", "ok"},
    {"v-msvideo1", "ok"},
    {"v-rawvideo-i420", "install a Video for Windows decoder for YUV 4:2:0 (I420)"},
    {"v-rawvideo-rgb", "ok"},
    {"v-rawvideo-yuy2", "install a Video for Windows decoder for YUV 4:2:2 (YUY2)"},
    {"v-zmbv", "install a Video for Windows decoder for DOSBox Capture (ZMBV)"},
};

// The prefix's 32-bit side registers Motion JPEG and MP3 decoders that load, an Xvid
// decoder built for x86-64 (which a 32-bit program cannot load) and an H.264 decoder
// whose file is missing.
Verdicts OnPrefix() {
  Verdicts verdicts;
  for (const auto& [name, verdict] : kOnExample) {
    const bool needsNothing = name == "a-pcm" || name == "a-pcm-6ch" ||
                              name == "a-pcm-extensible" || name == "a-float" ||
                              name == "v-rawvideo-rgb";
    verdicts[name] = needsNothing ? "ok" : verdict;
  }
  verdicts["a-adpcm-ima"] = "install an ACM decoder for IMA ADPCM";
  verdicts["a-adpcm-ms"] = "install an ACM decoder for Microsoft ADPCM";
  verdicts["v-cinepak"] = "install a Video for Windows decoder for Cinepak";
  verdicts["v-msvideo1"] = "install a Video for Windows decoder for Microsoft Video 1";
  verdicts["v-msvideo1-cram"] = "install a Video for Windows decoder for Microsoft Video 1";
  verdicts["v-mpeg4-divx"] = "install a Video for Windows decoder for DivX 4 MPEG-4";
  verdicts["v-mjpeg"] = "ok";
  verdicts["a-mp3"] = "ok";
  verdicts["v-mpeg4-xvid"] = "repair the decoder for Xvid MPEG-4 (XVID)";
  verdicts["v-h264"] = "reinstall the decoder for H.264 (H264): vidc.h264 names";
  return verdicts;
}

void FillCodecPrefix(test::WinePrefixFolder* prefix) {
  prefix->SystemReg(
      "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
      "\"CSDVersion\"=\"Service Pack 1\"\n\"CurrentBuildNumber\"=\"7601\"\n"
      "\"CurrentVersion\"=\"6.1\"\n"
      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Drivers32] 1\n"
      "\"vidc.mjpg\"=\"mjpg32.dll\"\n\"msacm.l3acm\"=\"l3codeca.acm\"\n"
      "\"vidc.xvid\"=\"xvidvfw.dll\"\n\"vidc.h264\"=\"h264vfw.dll\"\n");
  for (const char* dll : {"msvfw32.dll", "msacm32.dll"}) {
    prefix->File(std::string("windows/syswow64/") + dll, test::WinePlaceholderDll());
  }
  auto pe = [](uint16_t machine, std::vector<std::string> imports) {
    test::PeSpec spec;
    spec.machine = machine;
    spec.imports = std::move(imports);
    return test::BuildPe(spec);
  };
  prefix->File("windows/syswow64/mjpg32.dll", pe(kMachineI386, {"MSVFW32.DLL"}));
  prefix->File("windows/syswow64/l3codeca.acm", pe(kMachineI386, {"msacm32.dll"}));
  prefix->File("windows/syswow64/xvidvfw.dll", pe(kMachineX8664, {"MSVFW32.DLL"}));
}

constexpr char kMakeCodecAvis[] = "scripts/make-codec-avis.sh";

class SampleCheckCliTest : public test::SampleFilesTest<kMakeCodecAvis> {
 protected:
  static std::string AllSamples(const Verdicts& verdicts) {
    std::string args;
    for (const auto& entry : verdicts) args += " " + ShellQuote(Path(entry.first));
    return args;
  }
  static std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return path.substr(slash + 1, path.size() - slash - 1 - 4);
  }

  // Verdict lines of the line form, by sample: each file's block starts with its path.
  static Verdicts FromLines(const std::string& out) {
    Verdicts verdicts;
    std::string current;
    for (const std::string& line : test::SplitLines(out)) {
      if (line.rfind(samples_->path(), 0) == 0) current = NameOf(line);
      const std::string prefix = "  verdict: ";
      if (line.rfind(prefix, 0) == 0) verdicts[current] = line.substr(prefix.size());
    }
    return verdicts;
  }

  // The JSON form read by a real JSON parser: "name<TAB>playable<TAB>verdict" per file.
  static Verdicts FromJson(const std::string& json, std::map<std::string, bool>* playable) {
    test::ScratchDir scratch;
    const std::string file = scratch.Write("out.json", json);
    const auto r = test::RunCommand(
        "python3 -c 'import json,sys\n"
        "for f in json.load(open(sys.argv[1]))[\"files\"]:\n"
        "  print(f[\"file\"], str(f[\"playable\"]).lower(), f[\"verdict\"], sep=\"\\t\")' " +
        ShellQuote(file));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    Verdicts verdicts;
    for (const std::string& line : test::SplitLines(r.out)) {
      const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
      const std::string name = NameOf(line.substr(0, tab1));
      (*playable)[name] = line.substr(tab1 + 1, tab2 - tab1 - 1) == "true";
      verdicts[name] = line.substr(tab2 + 1);
    }
    return verdicts;
  }

  // Both forms on one machine: every sample's verdict as expected, the same in both.
  // okVerdict is what "ok" reads as on the machine: which paths play the file.
  static void ExpectVerdicts(const std::string& machine, const Verdicts& expected,
                             const std::string& okVerdict) {
    const std::string args = " --machine " + ShellQuote(machine) + AllSamples(expected);
    const test::CliStart withoutPrefix = {"", true};
    const auto lines = test::RunCli("check" + args, withoutPrefix);
    const auto json = test::RunCli("check --json" + args, withoutPrefix);
    EXPECT_EQ(lines.exitCode, 1) << lines.err;  // some samples are not playable here
    EXPECT_EQ(json.exitCode, 1) << json.err;
    const Verdicts fromLines = FromLines(lines.out);
    std::map<std::string, bool> playable;
    const Verdicts fromJson = FromJson(json.out, &playable);
    ASSERT_EQ(fromLines.size(), expected.size()) << lines.out;
    for (const auto& [name, verdict] : expected) {
      SCOPED_TRACE(name);
      const std::string& got = fromLines.at(name);
      if (verdict == "ok") {
        EXPECT_EQ(got, okVerdict);
      } else {
        EXPECT_EQ(got.rfind(verdict, 0), 0u) << got;
      }
      EXPECT_EQ(fromJson.at(name), got);
      // A file that plays on one of the machine's paths counts as playable.
      EXPECT_EQ(playable.at(name), verdict == "ok" || verdict.rfind("plays in ", 0) == 0);
    }
  }
};

TEST_F(SampleCheckCliTest, EverySampleOnTheExampleMachine) {
  ExpectVerdicts(kExample, kOnExample,
                 "playable here in Video for Windows programs and DirectShow players (AVI "
                 "Splitter)");
}

TEST_F(SampleCheckCliTest, EverySampleOnAWinePrefix) {
  test::WinePrefixFolder prefix;
  FillCodecPrefix(&prefix);
  ExpectVerdicts(prefix.path(), OnPrefix(), "playable here");
}

}  // namespace
}  // namespace korvane

// korvane check's findings as lines and as JSON, on files and machines built here.
#include "cli/check_report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "cli/json_output.h"
#include "platform/text_encoding.h"
#include "tests/checked_file_fixture.h"
#include "tests/fake_system.h"
#include "tests/riff_builder.h"
#include "tests/test_support.h"

namespace korvane {
namespace {

using test::FakeSystem;

// Whatever bytes a name holds, the document is written, and reads back as the name.
TEST(TextAsUtf8Test, EveryByteStringMakesAJsonString) {
  for (int first = 0; first < 256; ++first) {
    for (int second : {0x00, 0x41, 0x80, 0xA9, 0xBF, 0xC3, 0xFF}) {
      const std::string bytes = {static_cast<char>(first), static_cast<char>(second)};
      std::string text;
      ASSERT_NO_THROW(text = JsonDocument(JsonText(bytes))) << first << " " << second;
      EXPECT_EQ(Json::parse(text).get<std::string>(), TextAsUtf8(bytes, kDefaultAnsiCodePage));
    }
  }
}

class CheckReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.SetSystemIni("[drivers32]\r\nvidc.cvid=iccvid.dll\r\nvidc.IV50=ir50_32.dll\r\n");
    machine.AddSystemLibrary("iccvid.dll");
  }
  CheckedMachine Facts() { return ReadCheckedMachine(machine, "the test machine"); }
  FileCheck CheckFile(const std::string& name, const std::string& bytes) {
    return CheckAviFile(machine, Facts().drivers, scratch.Write(name, bytes));
  }

  FakeSystem machine;
  test::ScratchDir scratch;
};

TEST_F(CheckReportTest, LinesTellEachStreamAndEndWithTheVerdict) {
  const std::string avi = test::Avi({test::VideoStream("cvid"), test::AudioStream(0x0002),
                                     test::VideoStream("IV50"), test::AudioStream(0x0001)});
  std::vector<FileCheck> files{CheckFile("a.avi", avi)};
  EXPECT_FALSE(files[0].playable);
  const std::string p = files[0].path;
  EXPECT_EQ(CheckLines(Facts(), files),
            "machine: the test machine, Windows 4.10 build 2222 (Win9x)\n" + p +
                "\n"
                "  stream 0: video, cvid (Cinepak), needs vidc.cvid (usually iccvid.dll)\n"
                "    registered in system.ini [drivers32]: vidc.cvid=iccvid.dll\n"
                "    loads: C:\\WINDOWS\\SYSTEM\\iccvid.dll\n"
                "  stream 1: audio, format tag 0x0002 (Microsoft ADPCM), needs msacm.msadpcm "
                "(usually msadp32.acm)\n"
                "    not registered: msacm.msadpcm\n"
                "  stream 2: video, IV50 (Intel Indeo 5.0), needs vidc.IV50 (usually ir50_32.dll)\n"
                "    registered in system.ini [drivers32]: vidc.IV50=ir50_32.dll\n"
                "    does not load: C:\\WINDOWS\\SYSTEM\\ir50_32.dll (file not found)\n"
                "  stream 3: audio, format tag 0x0001 (PCM), built in\n"
                "  verdict: install an ACM decoder for Microsoft ADPCM (0x0002): msacm.msadpcm, "
                "usually msadp32.acm; reinstall the decoder for Intel Indeo 5.0 (IV50): vidc.IV50 "
                "names C:\\WINDOWS\\SYSTEM\\ir50_32.dll, file not found\n");
}

// The line of each kind of stream says which kind of decoder it needs, and under which name.
TEST_F(CheckReportTest, StreamLinesNameTheKindOfDecoderEachStreamNeeds) {
  const struct {
    std::string stream;
    const char* line;
  } kCases[] = {
      {test::VideoStream("cvid"), "video, cvid (Cinepak), needs vidc.cvid (usually iccvid.dll)"},
      {test::VideoStream("ABCD"), "video, ABCD (unknown codec), needs vidc.ABCD"},
      // The FourCC is not text, so no vidc entry can name it (as a common encoder writes
      // 24-bit RGB): still a Video for Windows decoder, never an ACM driver.
      {test::List("strl", {test::StreamHeader("vids", std::string(4, '\0')),
                           test::VideoFormatCode(0x42475218)}),
       "video, 0x42475218 (unknown codec), needs a Video for Windows decoder (no usual one "
       "known)"},
      {test::VideoStream(std::string("\0\0\0\0", 4)), "video, BI_RGB (uncompressed RGB), built in"},
      {test::AudioStream(0x0002),
       "audio, format tag 0x0002 (Microsoft ADPCM), needs msacm.msadpcm (usually msadp32.acm)"},
      {test::AudioStream(0x1234),
       "audio, format tag 0x1234 (unknown codec), needs an ACM driver (no usual one known)"},
      {test::AudioStream(0x0001), "audio, format tag 0x0001 (PCM), built in"},
      {test::VideoStream("VP90"), "video, VP90 (VP9), needs vidc.VP90"},
      {test::AudioStream(0x0061),
       "audio, format tag 0x0061 (Duck DK4 IMA ADPCM, or ESS ESPCM), needs an ACM driver (no "
       "usual one known)"},
  };
  for (const auto& c : kCases) {
    const FileCheck file = CheckFile("s.avi", test::Avi({c.stream}));
    ASSERT_EQ(file.walk.streams.size(), 1u) << c.line;
    const std::vector<std::string> lines = test::SplitLines(CheckLines(Facts(), {file}));
    ASSERT_GE(lines.size(), 3u) << c.line;
    EXPECT_EQ(lines[2], std::string("  stream 0: ") + c.line);
  }
}

TEST_F(CheckReportTest, VerdictsForPlayableOddAndUnreadableFiles) {
  const FileCheck good = CheckFile("good.avi", test::Avi({test::VideoStream("CVID")}));
  EXPECT_TRUE(good.playable);
  EXPECT_EQ(good.verdict, "playable here");
  EXPECT_TRUE(good.install.empty());

  const FileCheck wave = CheckFile("w.avi", test::Riff("WAVE", {test::Chunk("fmt ", "x")}));
  EXPECT_FALSE(wave.playable);
  EXPECT_EQ(wave.verdict, "not an AVI file: RIFF form 'WAVE' is not 'AVI '");

  const FileCheck empty = CheckFile("e.avi", test::Riff("AVI ", {test::List("hdrl", {})}));
  EXPECT_EQ(empty.verdict, "can't tell: the file describes no streams");

  const FileCheck noFrames = CheckFile(
      "n.avi",
      test::Riff("AVI ", {test::List("hdrl", {test::MainHeader(1), test::VideoStream("cvid")})}));
  EXPECT_EQ(noFrames.verdict, "the decoders are here, but the file holds no frames");
  EXPECT_FALSE(noFrames.playable);

  const FileCheck missing = CheckAviFile(machine, Facts().drivers, scratch.path() + "/none.avi");
  EXPECT_EQ(missing.error, "No such file or directory");
  const FileCheck folder = CheckAviFile(machine, Facts().drivers, scratch.path());
  EXPECT_EQ(folder.error, "it is a folder");
  // Unreadable files are told on standard error, not among the lines.
  const std::string lines = CheckLines(Facts(), {missing, good});
  EXPECT_EQ(lines.find("none.avi"), std::string::npos);
  EXPECT_NE(lines.find("  verdict: playable here\n"), std::string::npos);
}

// Runs python's json module over the document and prints what the expression gives.
std::string PythonOnJson(const std::string& json, const std::string& expression) {
  test::ScratchDir dir;
  const std::string path = dir.Write("doc.json", json);
  const auto r = test::RunCommand("python3 -c " +
                                  test::ShellQuote("import json,sys; d=json.load(open(sys.argv[1], "
                                                   "encoding='utf-8')); print(" +
                                                   expression + ")") +
                                  " " + test::ShellQuote(path));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

// The shapes real files showed: one cut where its frames begin, or just after the sound
// before its first frame, is not playable; one that a capture tool padded past its RIFF
// form is whole, as is one whose RIFF size was never filled in (-8) or is wrong.
TEST_F(CheckReportTest, CutAndPaddedFilesGetTheVerdictTheirFramesGive) {
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const std::string avi = test::PaddedAvi({test::VideoStream("cvid"), test::AudioStream(0x0001)});
  const auto riffSize = [&avi](uint32_t declared) {
    return avi.substr(0, 4) + test::Le32(declared) + avi.substr(8);
  };
  const char kNoFrames[] = "the decoders are here, but the file holds no frames";
  const struct {
    const char* name;
    std::string bytes;
    const char* verdict;
  } kCases[] = {
      {"cut.avi", avi.substr(0, 2048), kNoFrames},
      {"padded.avi", avi + std::string(472, '\0'), "playable here"},
      {"sound.avi", avi.substr(0, 2048 + 2214), kNoFrames},
      {"unset.avi", riffSize(0xFFFFFFF8), "playable here"},
      {"wrong.avi", riffSize(static_cast<uint32_t>(avi.size() * 2)), "playable here"},
  };
  std::vector<FileCheck> files;
  for (const auto& c : kCases) {
    files.push_back(CheckFile(c.name, c.bytes));
    EXPECT_EQ(files.back().verdict, c.verdict) << c.name;
    EXPECT_EQ(files.back().playable, c.verdict == std::string("playable here")) << c.name;
  }
  const std::string json = CheckJson(Facts(), files);
  EXPECT_EQ(PythonOnJson(json, "[(f['truncated'], f['movi'], f['playable']) for f in d['files']]"),
            "[(True, True, False), (False, True, True), (True, True, False), (False, True, True), "
            "(False, True, True)]\n");
  EXPECT_EQ(PythonOnJson(json, "d['files'][1]['problems']"), "[]\n");
}

TEST_F(CheckReportTest, JsonIsValidWhateverTheNamesHold) {
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  machine.SetSystemIni("[drivers32]\r\nvidc.cvid=C:\\Odd \"dir\"\\\xE9\\iccvid.dll\r\n");
  machine.AddLibrary("C:\\Odd \"dir\"\\\xE9\\iccvid.dll");
  const std::string name = "we\"ird\\name\t\xE9\x01.avi";
  std::vector<FileCheck> files{
      CheckFile(name, test::Avi({test::VideoStream("cvid"), test::AudioStream(0x0055)})),
      CheckAviFile(machine, Facts().drivers, scratch.path() + "/gone\n.avi")};
  const std::string json = CheckJson(Facts(), files);
  EXPECT_EQ(
      PythonOnJson(json, "d['files'][0]['file'].endswith('we\"ird\\\\name\\t\\u00e9\\u0001.avi')"),
      "True\n");
  EXPECT_EQ(PythonOnJson(json, "d['files'][0]['streams'][0]['decoder']['path']"),
            "C:\\Odd \"dir\"\\\xC3\xA9\\iccvid.dll\n");
  EXPECT_EQ(PythonOnJson(json, "[s['decoder']['ready'] for s in d['files'][0]['streams']]"),
            "[True, False]\n");
  EXPECT_EQ(PythonOnJson(json,
                         "d['files'][0]['streams'][1]['formatTag'], "
                         "d['files'][0]['streams'][1]['codec']"),
            "85 MP3\n");
  EXPECT_EQ(PythonOnJson(json, "d['files'][0]['playable'], len(d['files'][0]['install'])"),
            "False 1\n");
  EXPECT_EQ(PythonOnJson(json,
                         "d['files'][1]['error'].endswith('gone\\n.avi: No such file or "
                         "directory')"),
            "True\n");
  EXPECT_EQ(PythonOnJson(json, "d['machine']['name'], d['machine']['version']"),
            "the test machine Windows 4.10 build 2222 (Win9x)\n");
}

using TryLinesTest = test::CheckedFileTest;

TEST_F(TryLinesTest, EachStreamHasATryLineAndATryObject) {
  const FileCheck file =
      Check({T(TryOutcome::kDecodes, "decodes: 10 frames, 64x48, 24-bit"),
             T(TryOutcome::kCrashed, "crashed: exception 0xC0000005 (access violation) in x.acm",
               0xC0000005u, "x.acm"),
             T(TryOutcome::kHung, "hangs: no answer within 5 s; the try was stopped")});
  const CheckedMachine facts = ReadCheckedMachine(machine, "m");
  const std::vector<std::string> lines = test::SplitLines(CheckLines(facts, {file}));
  std::vector<std::string> tryLines;
  for (const std::string& line : lines) {
    if (line.rfind("    try: ", 0) == 0) tryLines.push_back(line);
  }
  EXPECT_EQ(tryLines, (std::vector<std::string>{
                          "    try: decodes: 10 frames, 64x48, 24-bit",
                          "    try: crashed: exception 0xC0000005 (access violation) in x.acm",
                          "    try: hangs: no answer within 5 s; the try was stopped"}));
  // Each try line follows its own stream's lines.
  EXPECT_EQ(lines[5], "    try: decodes: 10 frames, 64x48, 24-bit");

  const std::string json = CheckJson(facts, {file});
  EXPECT_NE(json.find("\"try\": {\n            \"outcome\": \"decodes\",\n            "
                      "\"decodes\": true,\n            \"text\": \"decodes: 10 frames, 64x48, "
                      "24-bit\"\n          }"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"outcome\": \"crashed\""), std::string::npos);
  EXPECT_NE(json.find("\"exceptionCode\": \"0xC0000005\",\n            \"module\": \"x.acm\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"outcome\": \"hung\",\n            \"decodes\": false"), std::string::npos);
  // Without --try there is no try line and no try object.
  FileCheck plain = file;
  plain.tries.clear();
  EXPECT_EQ(CheckLines(facts, {plain}).find("try:"), std::string::npos);
  EXPECT_EQ(CheckJson(facts, {plain}).find("\"try\""), std::string::npos);
}

TEST_F(TryLinesTest, TheDirectShowTryHasALineAndItsGraphBeforeTheVerdict) {
  struct Case {
    TryFinding finding;
    std::vector<std::vector<std::string>> branches;
    std::vector<std::string> lines;  // the file's lines from its try (DirectShow) line on
    std::string json;                // python over the file's paths.directshow.try
  };
  const Case cases[] = {
      {T(TryOutcome::kDecodes, "decodes: 10 frames, 64x48 RGB24"),
       {{"File Source (Async.)", "AVI Splitter", "AVI Decompressor", "Null"},
        {"File Source (Async.)", "AVI Splitter", "ACM Wrapper", "Null"}},
       {"  try (DirectShow): decodes: 10 frames, 64x48 RGB24",
        "    graph: File Source (Async.) -> AVI Splitter -> AVI Decompressor -> Null; AVI "
        "Splitter -> ACM Wrapper -> Null"},
       "decodes True 10 ['File Source (Async.)', 'AVI Splitter', 'AVI Decompressor', 'Null', "
       "'ACM Wrapper'] File Source (Async.) \\u2192 AVI Splitter \\u2192 AVI Decompressor \\u2192 "
       "Null; AVI Splitter \\u2192 ACM Wrapper \\u2192 Null"},
      {T(TryOutcome::kCrashed, "crashed: exception 0xC0000005 (access violation) in k.dll",
         0xC0000005u, "k.dll"),
       {},
       {"  try (DirectShow): crashed: exception 0xC0000005 (access violation) in k.dll"},
       "crashed False 0 [] "},
  };
  const CheckedMachine facts = ReadCheckedMachine(machine, "m");
  for (const Case& c : cases) {
    FileCheck file = Check({T(TryOutcome::kDecodes, "decodes"), T(TryOutcome::kDecodes, "decodes"),
                            T(TryOutcome::kDecodes, "decodes")});
    GraphFinding graph;
    graph.finding = c.finding;
    graph.branches = c.branches;
    graph.frames = c.finding.outcome == TryOutcome::kDecodes ? 10 : 0;
    file.paths.directshowTry = DirectShowTryOf(graph);
    const std::vector<std::string> lines = test::SplitLines(CheckLines(facts, {file}));
    size_t at = 0;
    while (at < lines.size() && lines[at].rfind("  try (DirectShow): ", 0) != 0) ++at;
    ASSERT_LT(at + c.lines.size(), lines.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + at, lines.begin() + at + c.lines.size()),
              c.lines);
    EXPECT_EQ(lines[at + c.lines.size()].rfind("  verdict: ", 0), 0u);
    EXPECT_EQ(PythonOnJson(CheckJson(facts, {file}),
                           "' '.join(str(v) for v in [t['outcome'], t['decodes'], t['frames'], "
                           "t['filters'], t['chain'].encode('ascii', 'backslashreplace').decode()"
                           "]) if (t := d['files'][0]['paths']['directshow']['try']) else ''"),
              c.json + "\n");
  }
}

// The lines a stream gets for the DirectShow path: its decoders, and behind Wine's splitter
// what the host's GStreamer said, with the caps cut to their media type.
TEST_F(CheckReportTest, StreamsNameTheirDirectShowDecodersAndGstreamersAnswer) {
  const std::string caps = "video/x-cinepak, width=(int)[ 1, 2147483647 ]";
  struct Case {
    const char* name;
    std::vector<DirectShowDecoder> decoders;
    std::optional<GstreamerStreamAnswer> gstreamer;
    std::vector<std::string> lines;
  };
  const DirectShowDecoder wrapper{"AVI Decompressor (vidc.cvid)", "{CF49D4E0}", 0x5FFFF0,
                                  "quartz.dll", true};
  const DirectShowDecoder pack{"Pack Cinepak", "{AAAAAAAA}", 0x800000, "pack.ax", true};
  const Case cases[] = {
      {"no decoder", {}, std::nullopt, {"    DirectShow: no decoder"}},
      {"two decoders, as ranked",
       {pack, wrapper},
       std::nullopt,
       {"    DirectShow: Pack Cinepak (merit 0x00800000), AVI Decompressor (vidc.cvid) (merit "
        "0x005FFFF0)"}},
      {"GStreamer decodes",
       {},
       GstreamerStreamAnswer{caps, true, "avdec_cinepak", ""},
       {"    DirectShow: no decoder", "    GStreamer: avdec_cinepak decodes video/x-cinepak"}},
      {"GStreamer lacks it",
       {},
       GstreamerStreamAnswer{caps, false, "", "Cinepak decoder"},
       {"    DirectShow: no decoder",
        "    GStreamer: no decoder for video/x-cinepak (Cinepak decoder)"}},
      {"GStreamer has no caps for it",
       {},
       GstreamerStreamAnswer{"", false, "", ""},
       {"    DirectShow: no decoder", "    GStreamer: no decoder for it"}},
  };
  FileCheck file = CheckFile("a.avi", test::Avi({test::VideoStream("cvid")}));
  file.paths.known = true;
  file.paths.splitter = "GStreamer splitter filter";
  file.paths.streams.resize(1);
  for (const Case& c : cases) {
    file.paths.streams[0].directshow = c.decoders;
    file.paths.streams[0].gstreamer = c.gstreamer;
    const std::vector<std::string> all = test::SplitLines(CheckLines(Facts(), {file}));
    // machine, path, stream, registered, loads: the paths' lines follow, then the splitter.
    ASSERT_EQ(all.size(), 5 + c.lines.size() + 2) << c.name;
    EXPECT_EQ(std::vector<std::string>(all.begin() + 5, all.end() - 2), c.lines) << c.name;
    EXPECT_EQ(all[all.size() - 2], "  DirectShow splitter: GStreamer splitter filter") << c.name;
    const Json json = Json::parse(CheckJson(Facts(), {file}));
    const Json& stream = json["files"][0]["streams"][0]["directshow"];
    EXPECT_EQ(stream["decoders"].size(), c.decoders.size()) << c.name;
    EXPECT_EQ(stream["gstreamer"].is_null(), !c.gstreamer) << c.name;
    if (c.gstreamer) {
      EXPECT_EQ(stream["gstreamer"]["caps"], c.gstreamer->caps) << c.name;
    }
  }
  const Json json = Json::parse(CheckJson(Facts(), {file}));
  EXPECT_EQ(json["files"][0]["paths"]["directshow"]["splitter"], "GStreamer splitter filter");
  EXPECT_FALSE(json["files"][0]["paths"].contains("mediafoundation"));
  // Without the registrations: no path lines, paths null and no directshow per stream.
  file.paths = FilePaths();
  EXPECT_EQ(test::SplitLines(CheckLines(Facts(), {file})).size(), 6u);
  const Json plain = Json::parse(CheckJson(Facts(), {file}));
  EXPECT_TRUE(plain["files"][0]["paths"].is_null());
  EXPECT_FALSE(plain["files"][0]["streams"][0].contains("directshow"));
}

}  // namespace
}  // namespace korvane

// korvane check as a user runs it: arguments, help, exit status, machines given or not.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/machine_builder.h"
#include "tests/pe_builder.h"
#include "tests/riff_builder.h"
#include "tests/test_support.h"
#include "tests/wine_prefix_builder.h"

namespace korvane {
namespace {

using test::Cli;
using test::RunCommand;
using test::ShellQuote;

// A usage error of korvane check, as it says it.
std::string CheckError(const std::string& message) {
  return "korvane check: " + message + " (see 'korvane check --help')";
}

const std::string kExample = std::string(KORVANE_SOURCE_DIR) + "/examples/win98se";

// The lines of one file's block: from its path line to its verdict line.
std::vector<std::string> BlockOf(const std::string& out, const std::string& path) {
  const std::vector<std::string> lines = test::SplitLines(out);
  std::vector<std::string> block;
  for (const std::string& line : lines) {
    if (line == path)
      block.push_back(line);
    else if (!block.empty())
      block.push_back(line);
    if (!block.empty() && line.rfind("  verdict: ", 0) == 0) break;
  }
  return block;
}

// The ffmpeg-made files, made once for the suite.
class CliCheckFilesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::ScratchDir;
    const auto made = RunCommand(std::string(KORVANE_SOURCE_DIR) + "/scripts/make-codec-avis.sh " +
                                 ShellQuote(dir_->path()));
    made_ = made.exitCode == 0 && std::filesystem::exists(dir_->path() + "/a-mp3.avi");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!made_ && std::getenv("CI") == nullptr) GTEST_SKIP() << "ffmpeg failed";
    ASSERT_TRUE(made_);
  }
  static std::string Avi(const std::string& name) { return dir_->path() + "/" + name + ".avi"; }
  static std::string Avis(std::initializer_list<const char*> names) {
    std::string args;
    for (const char* name : names) args += " " + ShellQuote(Avi(name));
    return args;
  }
  static test::ScratchDir* dir_;
  static bool made_;
};

test::ScratchDir* CliCheckFilesTest::dir_ = nullptr;
bool CliCheckFilesTest::made_ = false;

TEST_F(CliCheckFilesTest, ExampleMachineGivesEachFileItsVerdict) {
  const auto r = RunCommand(Cli() + " check --machine " + ShellQuote(kExample) +
                            Avis({"v-cinepak", "v-msvideo1-cram", "a-adpcm-ms", "a-adpcm-ima",
                                  "a-pcm", "a-mp3", "v-mpeg4-divx", "v-h264"}));
  EXPECT_EQ(r.exitCode, 1) << r.err;  // not every file is playable there
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(test::SplitLines(r.out)[0],
            "machine: " + kExample + ", Windows 4.10 build 2222 (Win9x)");
  EXPECT_EQ(
      BlockOf(r.out, Avi("v-cinepak")),
      (std::vector<std::string>{
          Avi("v-cinepak"),
          "  stream 0: video, cvid (Cinepak), needs vidc.cvid (usually iccvid.dll)",
          "    registered in system.ini [drivers32]: vidc.cvid=iccvid.dll",
          "    loads: C:\\WINDOWS\\SYSTEM\\iccvid.dll",
          // DirectX 6.1's AVI Decompressor wraps the same driver for DirectShow players.
          "    DirectShow: AVI Decompressor (vidc.cvid) (merit 0x005FFFFF)",
          "  DirectShow splitter: AVI Splitter",
          "  verdict: playable here in Video for Windows programs and DirectShow players (AVI "
          "Splitter)"}));
  for (const char* playable : {"v-msvideo1-cram", "a-adpcm-ms", "a-adpcm-ima", "a-pcm"}) {
    EXPECT_EQ(BlockOf(r.out, Avi(playable)).back(),
              "  verdict: playable here in Video for Windows programs and DirectShow players (AVI "
              "Splitter)")
        << playable;
  }
  // The MPEG Layer-3 Decoder filter plays what no ACM driver of the machine decodes.
  EXPECT_EQ(BlockOf(r.out, Avi("a-mp3")).back(),
            "  verdict: plays in DirectShow players (AVI Splitter); Video for Windows programs "
            "need msacm.l3acm");
  const std::vector<std::string> divx = BlockOf(r.out, Avi("v-mpeg4-divx"));
  ASSERT_EQ(divx.size(), 7u);
  EXPECT_EQ(divx[2], "    registered in system.ini [drivers32]: vidc.divx=divxc32.dll");
  EXPECT_EQ(divx[3].rfind("    does not load: C:\\WINDOWS\\SYSTEM\\divxc32.dll (", 0), 0u);
  EXPECT_NE(divx[3].find("MSVCP60.DLL"), std::string::npos);
  // The MPEG-4 filter's FilterData is cut short, so DirectShow has no decoder either.
  EXPECT_EQ(divx[4], "    DirectShow: no decoder");
  EXPECT_EQ(divx[6].rfind("  verdict: repair the decoder for DivX 4 MPEG-4 (DIVX): ", 0), 0u);
  EXPECT_EQ(
      BlockOf(r.out, Avi("v-h264")).back(),
      "  verdict: install a Video for Windows decoder for H.264 (H264): vidc.H264; DirectShow "
      "players (AVI Splitter) need a DirectShow decoder for H.264 (H264)");

  const auto allGood = RunCommand(Cli() + " check --machine " + ShellQuote(kExample) +
                                  Avis({"v-cinepak", "a-adpcm-ima"}));
  EXPECT_EQ(allGood.exitCode, 0) << allGood.err;
}

TEST_F(CliCheckFilesTest, JsonSaysWhatTheLinesSay) {
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const std::string files = Avis({"v-cinepak", "a-mp3", "v-mpeg4-divx", "a-pcm-extensible"});
  const auto lines = RunCommand(Cli() + " check --machine " + ShellQuote(kExample) + files);
  const auto json = RunCommand(Cli() + " check --json --machine " + ShellQuote(kExample) + files);
  EXPECT_EQ(json.exitCode, lines.exitCode);
  test::ScratchDir scratch;
  const std::string doc = scratch.Write("doc.json", json.out);
  const auto verdicts = RunCommand(
      "python3 -c " +
      ShellQuote("import json,sys\n"
                 "d = json.load(open(sys.argv[1]))\n"
                 "for f in d['files']: print('  verdict: ' + f['verdict'])\n"
                 "s = d['files'][1]['streams'][1]\n"
                 "print(s['formatTag'], s['decoder']['registered'], s['decoder']['ready'])\n"
                 "s = d['files'][2]['streams'][0]['decoder']\n"
                 "print(s['where'], s['entry'], s['found'], s['loads'])\n"
                 "print(d['files'][3]['streams'][1]['subFormat'])\n") +
      " " + ShellQuote(doc));
  ASSERT_EQ(verdicts.exitCode, 0) << verdicts.err << json.out;
  std::string expected;
  for (const std::string& line : test::SplitLines(lines.out)) {
    if (line.rfind("  verdict: ", 0) == 0) expected += line + "\n";
  }
  expected += "85 False False\n";
  expected += "system.ini [drivers32] vidc.divx True False\n";
  expected += "{00000001-0000-0010-8000-00AA00389B71}\n";
  EXPECT_EQ(verdicts.out, expected);
}

std::string Le32Bytes(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x,%02x,%02x,%02x,", value & 0xFF, (value >> 8) & 0xFF,
                (value >> 16) & 0xFF, value >> 24);
  return text;
}

// A filter of the legacy DirectShow category with one input pin for major/minor, its
// FilterData as IFilterMapper2 writes it (version 2: header, pin, media type, the GUIDs
// they point to), and the library that serves its CLSID.
std::string FilterRegistration(const std::string& name, const std::string& clsid, uint32_t merit,
                               const std::string& major, const std::string& minor,
                               const std::string& library) {
  const std::string data = Le32Bytes(2) + Le32Bytes(merit) + Le32Bytes(1) + Le32Bytes(0) +
                           "30,70,69,33," + Le32Bytes(0) + Le32Bytes(0) + Le32Bytes(1) +
                           Le32Bytes(0) + Le32Bytes(0) + "30,74,79,33," + Le32Bytes(0) +
                           Le32Bytes(56) + Le32Bytes(72) + test::RegHex(test::GuidBytes(major)) +
                           "," + test::RegHex(test::GuidBytes(minor));
  const std::string classes = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\";
  return classes + "{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\" + clsid + "]\r\n" +
         "\"CLSID\"=\"" + clsid + "\"\r\n\"FriendlyName\"=\"" + name + "\"\r\n" +
         "\"FilterData\"=hex:" + data + "\r\n\r\n" + classes + clsid + "\\InprocServer32]\r\n@=\"" +
         library + "\"\r\n\r\n";
}

TEST_F(CliCheckFilesTest, JsonNamesTheDirectShowPath) {
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  test::ScratchDir scratch;
  const std::string machine = scratch.path() + "/machine";
  std::filesystem::copy(kExample, machine, std::filesystem::copy_options::recursive);
  scratch.Write("machine/c/WINDOWS/SYSTEM/quartz.dll", test::BuildPe({}));
  scratch.Write("machine/c/WINDOWS/SYSTEM/kvmjpeg.dll", test::BuildPe({}));
  const std::string video = "{73646976-0000-0010-8000-00AA00389B71}";
  const std::string null = "{00000000-0000-0000-0000-000000000000}";
  scratch.Write("machine/registry.reg",
                "REGEDIT4\r\n\r\n" +
                    FilterRegistration("AVI Splitter", "{1B544C20-FD0B-11CE-8C63-00AA0044B51E}",
                                       0x600000, "{E436EB83-524F-11CE-9F53-0020AF0BA770}",
                                       "{E436EB88-524F-11CE-9F53-0020AF0BA770}", "quartz.dll") +
                    FilterRegistration("AVI Decompressor", "{CF49D4E0-1115-11CE-B03A-0020AF0BA770}",
                                       0x5FFFF0, video, null, "quartz.dll") +
                    FilterRegistration("Test MJPEG Decoder",
                                       "{4B564D4A-0000-4B56-8000-000000000001}", 0x800000, video,
                                       "{47504A4D-0000-0010-8000-00AA00389B71}", "kvmjpeg.dll"));
  const std::string files = Avis({"v-cinepak", "v-mjpeg"});
  const auto lines = RunCommand(Cli() + " check --machine " + ShellQuote(machine) + files);
  const auto json = RunCommand(Cli() + " check --json --machine " + ShellQuote(machine) + files);
  const std::string doc = scratch.Write("doc.json", json.out);
  const auto said =
      RunCommand("python3 -c " +
                 ShellQuote("import json,sys\n"
                            "d = json.load(open(sys.argv[1]))\n"
                            "for f in d['files']:\n"
                            "  if f['paths'] is None: print('no paths'); continue\n"
                            "  print(json.dumps(f['paths'], sort_keys=True))\n"
                            "  print(json.dumps(f['streams'][0]['directshow'], sort_keys=True))\n"
                            "  print(f['playable'], f['verdict'])\n") +
                 " " + ShellQuote(doc));
  ASSERT_EQ(said.exitCode, 0) << said.err << json.out;
  EXPECT_EQ(lines.exitCode, 0) << lines.err;  // both play in DirectShow players
  EXPECT_EQ(json.exitCode, 0) << json.err;
  const std::string splitter =
      "{\"directshow\": {\"needs\": [], \"playable\": true, \"splitter\": \"AVI Splitter\"}, ";
  EXPECT_EQ(said.out,
            splitter +
                "\"vfw\": {\"playable\": true}}\n"
                "{\"decoders\": [{\"clsid\": \"{CF49D4E0-1115-11CE-B03A-0020AF0BA770}\", "
                "\"library\": \"quartz.dll\", \"loads\": true, \"merit\": 6291440, "
                "\"name\": \"AVI Decompressor (vidc.cvid)\"}], \"gstreamer\": null}\n"
                "True playable here in Video for Windows programs and DirectShow players "
                "(AVI Splitter)\n" +
                splitter +
                "\"vfw\": {\"playable\": false}}\n"
                "{\"decoders\": [{\"clsid\": \"{4B564D4A-0000-4B56-8000-000000000001}\", "
                "\"library\": \"kvmjpeg.dll\", \"loads\": true, \"merit\": 8388608, "
                "\"name\": \"Test MJPEG Decoder\"}], \"gstreamer\": null}\n"
                "True plays in DirectShow players (AVI Splitter); Video for Windows programs need "
                "vidc.MJPG\n");
  const std::vector<std::string> mjpeg = BlockOf(lines.out, Avi("v-mjpeg"));
  ASSERT_GE(mjpeg.size(), 3u);
  EXPECT_EQ(mjpeg[mjpeg.size() - 3], "    DirectShow: Test MJPEG Decoder (merit 0x00800000)");
  EXPECT_EQ(mjpeg[mjpeg.size() - 2], "  DirectShow splitter: AVI Splitter");
}

TEST_F(CliCheckFilesTest, WithoutDirectShowRegistrationsPathsAreNull) {
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  test::ScratchDir scratch;
  const std::string machine = scratch.path() + "/machine";
  std::filesystem::copy(kExample, machine, std::filesystem::copy_options::recursive);
  scratch.Write("machine/registry.reg", "REGEDIT4\r\n\r\n");
  const auto json = RunCommand(Cli() + " check --json --machine " + ShellQuote(machine) +
                               Avis({"v-cinepak", "v-mjpeg"}));
  EXPECT_EQ(json.exitCode, 1) << json.err;  // Motion JPEG plays nowhere
  const std::string doc = scratch.Write("doc.json", json.out);
  const auto said = RunCommand(
      "python3 -c " +
      ShellQuote("import json,sys\n"
                 "d = json.load(open(sys.argv[1]))\n"
                 "for f in d['files']:\n"
                 "  print(f['paths'], 'directshow' in f['streams'][0], f['verdict'])\n") +
      " " + ShellQuote(doc));
  EXPECT_EQ(said.out,
            "None False playable here\n"
            "None False install a Video for Windows decoder for Motion JPEG (MJPG): vidc.MJPG\n")
      << said.err;
}

TEST_F(CliCheckFilesTest, NtMachineFindsDriversInTheRegistry) {
  test::MachineFolder machine;
  machine.MachineIni(
      "[machine]\nWindowsDirectory=C:\\WINNT\nSystemDirectory=C:\\WINNT\\system32\n"
      "Platform=2\nMajor=5\nMinor=0\nBuild=2195\n");
  // The example's libraries, Cinepak and its imports among them.
  std::filesystem::create_directories(machine.path() + "/c/WINNT");
  std::filesystem::copy(kExample + "/c/WINDOWS/SYSTEM", machine.path() + "/c/WINNT/system32",
                        std::filesystem::copy_options::recursive);
  machine.Registry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32]\r\n"
      "\"VIDC.CVID\"=\"iccvid.dll\"\r\n"
      "\"msacm.l3acm\"=\"C:\\\\WINNT\\\\system32\\\\l3codeca.acm\"\r\n");
  const auto r = RunCommand(Cli() + " check --machine " + ShellQuote(machine.path()) +
                            Avis({"v-cinepak", "a-mp3"}));
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const std::vector<std::string> lines = test::SplitLines(r.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "machine: " + machine.path() + ", Windows 5.00 build 2195 (WinNT)");
  EXPECT_EQ(lines[1], "  note: can't open C:\\WINNT\\system.ini");
  const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32";
  EXPECT_EQ(BlockOf(r.out, Avi("v-cinepak")),
            (std::vector<std::string>{
                Avi("v-cinepak"),
                "  stream 0: video, cvid (Cinepak), needs vidc.cvid (usually iccvid.dll)",
                "    registered in " + key + ": VIDC.CVID=iccvid.dll",
                "    loads: C:\\WINNT\\system32\\iccvid.dll", "  verdict: playable here"}));
  const std::vector<std::string> mp3 = BlockOf(r.out, Avi("a-mp3"));
  ASSERT_EQ(mp3.size(), 6u);
  EXPECT_EQ(mp3[3], "    registered in " + key + ": msacm.l3acm=C:\\WINNT\\system32\\l3codeca.acm");
  EXPECT_EQ(mp3[4], "    does not load: C:\\WINNT\\system32\\l3codeca.acm (file not found)");
  EXPECT_EQ(mp3[5],
            "  verdict: reinstall the decoder for MP3 (0x0055): msacm.l3acm names "
            "C:\\WINNT\\system32\\l3codeca.acm, file not found");
}

TEST_F(CliCheckFilesTest, UnreadableFilesAreToldAndTheOthersChecked) {
  test::ScratchDir scratch;
  const std::string missing = scratch.path() + "/missing.avi";
  const std::string notAvi = scratch.Write("text.avi", "hello, this is not RIFF");
  const auto r = RunCommand(Cli() + " check --machine " + ShellQuote(kExample) + " " +
                            ShellQuote(missing) + " " + ShellQuote(notAvi) + Avis({"v-cinepak"}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "korvane check: can't open " + missing + ": No such file or directory\n");
  EXPECT_EQ(r.out.find("missing.avi"), std::string::npos);
  EXPECT_EQ(BlockOf(r.out, notAvi).back(),
            "  verdict: not an AVI file: the file does not start with 'RIFF'");
  EXPECT_EQ(BlockOf(r.out, Avi("v-cinepak")).back(),
            "  verdict: playable here in Video for Windows programs and DirectShow players (AVI "
            "Splitter)");
}

// A report saved on the example machine answers check as the machine does; run and --try
// refuse it, and a text file that is no report is told the kinds of machine korvane reads.
TEST_F(CliCheckFilesTest, ASavedReportAnswersForItsMachine) {
  test::ScratchDir scratch;
  const std::string whole = scratch.path() + "/whole.txt";
  const std::string noLoad = scratch.path() + "/no-load.txt";
  ASSERT_EQ(
      test::RunCli("run --machine " + ShellQuote(kExample) + " -o " + ShellQuote(whole)).exitCode,
      0);
  ASSERT_EQ(test::RunCli("run --machine " + ShellQuote(kExample) +
                         " --tests systemIni,wellKnownDlls -o " + ShellQuote(noLoad))
                .exitCode,
            0);
  const std::string files = Avis({"v-cinepak", "v-mpeg4-divx"});
  const auto fromMachine = test::RunCli("check --machine " + ShellQuote(kExample) + files);
  const auto fromReport = test::RunCli("check --machine " + ShellQuote(whole) + files);
  EXPECT_EQ(fromReport.exitCode, fromMachine.exitCode);
  // A report holds the Video for Windows facts only: its lines are the machine's without the
  // DirectShow ones, and its verdict speaks of Video for Windows alone.
  auto videoForWindowsLines = [](std::vector<std::string> block) {
    block.erase(std::remove_if(block.begin(), block.end(),
                               [](const std::string& line) {
                                 return line.find("DirectShow") != std::string::npos ||
                                        line.rfind("  verdict: ", 0) == 0;
                               }),
                block.end());
    return block;
  };
  EXPECT_EQ(videoForWindowsLines(BlockOf(fromReport.out, Avi("v-cinepak"))),
            videoForWindowsLines(BlockOf(fromMachine.out, Avi("v-cinepak"))));
  EXPECT_EQ(BlockOf(fromReport.out, Avi("v-cinepak")).back(), "  verdict: playable here");
  EXPECT_EQ(test::SplitLines(fromReport.out)[0],
            "machine: " + whole + " (a saved report), Windows 4.10 build 2222 (Win9x)");

  const auto unsaid = test::RunCli("check --machine " + ShellQuote(noLoad) + Avis({"v-cinepak"}));
  EXPECT_EQ(unsaid.exitCode, 1);
  EXPECT_EQ(BlockOf(unsaid.out, Avi("v-cinepak")),
            (std::vector<std::string>{
                Avi("v-cinepak"),
                "  stream 0: video, cvid (Cinepak), needs vidc.cvid (usually iccvid.dll)",
                "    registered in system.ini [drivers32]: vidc.cvid=iccvid.dll",
                "    the report does not say whether iccvid.dll loads (it was made without the "
                "library load test)",
                "  verdict: can't tell from the report whether it plays: ask the user for a "
                "report made with \"load .DLL test\" ticked"}));

  std::string letter = "Dear helper,\r\n";
  for (int i = 0; i < 20; ++i) letter += "the film still does not play, whatever I try.\r\n";
  const std::string note = scratch.Write("note.txt", letter);
  const struct {
    std::string args;
    std::string error;
  } refused[] = {
      {"run --machine " + ShellQuote(whole),
       "korvane run: " + whole +
           " is a saved report, not a machine: run examines a machine "
           "itself; to answer from the report, use korvane check --machine " +
           whole + " FILE..."},
      {"check --try --machine " + ShellQuote(whole) + files,
       "korvane check: --try decodes with the machine's own decoders, which a saved report does "
       "not hold; run korvane check --try on the machine the report was made on, or leave out "
       "--try"},
      {"check --machine " + ShellQuote(note) + files,
       "korvane check: " + note +
           ": a text file, not a machine korvane can read; it reads a Wine "
           "prefix, a described machine, a Windows installation's root folder, a disk image (raw, "
           "VHD or VMDK) or, for korvane check, a report saved by korvane"},
  };
  for (const auto& c : refused) {
    const auto result = test::RunCli(c.args);
    EXPECT_EQ(result.exitCode, 2) << c.args;
    EXPECT_EQ(result.err, c.error + "\n") << c.args;
    EXPECT_EQ(result.out, "") << c.args;
  }
}

TEST(CliCheckTest, MachinesThatCannotBeReadExitWithTwo) {
  test::ScratchDir scratch;
  const std::string file = scratch.Write("a.avi", "RIFF");
  const auto none = RunCommand(Cli() + " check --machine " + ShellQuote(scratch.path() + "/no") +
                               " " + ShellQuote(file));
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_EQ(none.err.rfind("korvane check: ", 0), 0u);
  EXPECT_EQ(none.out, "");
#ifndef _WIN32
  // No machine named, and no Wine prefix to fall back on.
  const auto noDefault = RunCommand("env -u WINEPREFIX HOME=" + ShellQuote(scratch.path()) + " " +
                                    Cli() + " check " + ShellQuote(file));
  EXPECT_EQ(noDefault.exitCode, 2);
  EXPECT_NE(noDefault.err.find("--machine"), std::string::npos);
#endif
}

// Each usage error is one line on standard error that names the fault, and nothing is
// checked: the machine is never opened and standard output stays empty.
TEST(CliCheckTest, UsageErrorsAreOneLineAndExitWithTwo) {
  test::ExpectUsageErrors({
      KORVANE_USAGE_ERROR("check", CheckError("no FILE given")),
      KORVANE_USAGE_ERROR("check --json", CheckError("no FILE given")),
      KORVANE_USAGE_ERROR("check --machine", CheckError("--machine needs PATH")),
      KORVANE_USAGE_ERROR("check a.avi --machine", CheckError("--machine needs PATH")),
      KORVANE_USAGE_ERROR("check --machine '' a.avi",
                          CheckError("--machine needs PATH, not an empty name")),
      KORVANE_USAGE_ERROR("check --machine a --machine b x.avi",
                          CheckError("--machine given twice")),
      KORVANE_USAGE_ERROR("check --bogus x.avi", CheckError("unknown option --bogus")),
      KORVANE_USAGE_ERROR("check x.avi -j", CheckError("unknown option -j")),
  });
}

// "--" ends the options: a file may then be named like one.
TEST(CliCheckTest, DoubleDashEndsTheOptions) {
  test::ScratchDir scratch;
  scratch.Write("--json", "RIFF");
  const auto r = RunCommand("cd " + ShellQuote(scratch.path()) + " && " + Cli() +
                            " check --machine " + ShellQuote(kExample) + " -- --json");
  EXPECT_EQ(r.exitCode, 1) << r.err;  // read, and not playable
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("\n--json\n"), std::string::npos) << r.out;
}

TEST(CliCheckTest, TryOptionsThatMakeNoSenseAreUsageErrors) {
  const auto seconds = [](const std::string& given) {
    return CheckError("--try-timeout takes seconds above 0 and up to 600, not " + given);
  };
  test::ExpectUsageErrors({
      KORVANE_USAGE_ERROR("check --try-timeout 3 a.avi",
                          CheckError("--try-timeout applies to --try")),
      KORVANE_USAGE_ERROR("check --try --try-timeout 0 a.avi", seconds("'0'")),
      KORVANE_USAGE_ERROR("check --try --try-timeout abc a.avi", seconds("'abc'")),
      KORVANE_USAGE_ERROR("check --try --try-timeout 601 a.avi", seconds("'601'")),
      KORVANE_USAGE_ERROR("check --try --try-timeout -1 a.avi", seconds("'-1'")),
      KORVANE_USAGE_ERROR("check --try --try-timeout 1e400 a.avi", seconds("'1e400'")),
      KORVANE_USAGE_ERROR("check --try --try-timeout a.avi", CheckError("no FILE given")),
      KORVANE_USAGE_ERROR("check --try --try-timeout 1 --try-timeout 2 a.avi",
                          CheckError("--try-timeout given twice")),
      KORVANE_USAGE_ERROR("check --view 48 a.avi", CheckError("--view takes 32 or 64, not '48'")),
      KORVANE_USAGE_ERROR("check --view a.avi", CheckError("--view takes 32 or 64, not 'a.avi'")),
      // The modes that --try starts the Windows program in do not exist elsewhere.
      KORVANE_USAGE_ERROR("check --try-stream 0 a.avi", CheckError("unknown option --try-stream")),
      KORVANE_USAGE_ERROR("check --try-findings a.avi",
                          CheckError("unknown option --try-findings")),
  });
}

#ifndef _WIN32
// A stand-in for wine64 that records its arguments and answers as the Windows CLI does:
// finding lines among other output.
std::string FakeWine(const test::ScratchDir& scratch, const std::string& answer) {
  const std::string path = scratch.Write(
      "fake-wine64", "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + ShellQuote(scratch.path() + "/args") +
                         "\necho \"WINEPREFIX=$WINEPREFIX\" >> " +
                         ShellQuote(scratch.path() + "/args") + "\n" + answer);
  ::chmod(path.c_str(), 0755);
  return path;
}

TEST(CliCheckTest, TryRunsTheWindowsCliInThePrefixAndJoinsItsFindings) {
  test::WinePrefixFolder prefix;
  prefix.Drive('Z', "/");
  test::FillTwoSidedPrefix(&prefix);
  test::ScratchDir scratch;
  const std::string file = scratch.Write(
      "my videos/a.avi", test::Avi({test::VideoStream("cvid"), test::AudioStream(0x0001)}));
  const std::string cli = scratch.Write("korvane-cli.exe", "MZ");
  const std::string wine = FakeWine(
      scratch,
      "echo 'fixme:avifile:noise'\n"
      "printf 'korvane-try\\t0\\t0\\tcrashed\\t0xC0000005\\tcodec64.dll\\tcrashed: exception "
      "0xC0000005 (access violation) in codec64.dll\\r\\n'\n");
  const std::string env =
      "KORVANE_WINE64=" + ShellQuote(wine) + " KORVANE_CLI_WIN64=" + ShellQuote(cli) + " ";
  const auto r = RunCommand(env + Cli() + " check --try --try-timeout 2.5 --view 64 --machine " +
                            ShellQuote(prefix.path()) + " " + ShellQuote(file));
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.out.find("    try: crashed: exception 0xC0000005 (access violation) in codec64.dll\n"
                       "  stream 1: audio, format tag 0x0001 (PCM), built in\n"
                       "    try: not tried: needs no decoder\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  verdict: repair or replace the decoder for Cinepak (cvid)"),
            std::string::npos)
      << r.out;
  std::string windowsPath = "Z:" + file;
  for (char& c : windowsPath) c = c == '/' ? '\\' : c;
  EXPECT_EQ(test::ReadFile(scratch.path() + "/args"),
            cli + "\ncheck\n--try-findings\n--try-timeout-ms\n2500\n" + windowsPath +
                "\nWINEPREFIX=" + prefix.path() + "\n");

  // The same through JSON; a Wine that says nothing leaves the stream "not tried".
  const std::string silent = FakeWine(scratch, "exit 0\n");
  const auto json =
      RunCommand("KORVANE_WINE64=" + ShellQuote(silent) + " KORVANE_CLI_WIN64=" + ShellQuote(cli) +
                 " " + Cli() + " check --json --try --view 64 " + "--machine " +
                 ShellQuote(prefix.path()) + " " + ShellQuote(file));
  EXPECT_NE(json.out.find("\"outcome\": \"not tried\",\n            \"decodes\": false,\n"
                          "            \"text\": \"not tried: the Windows CLI under Wine said "
                          "nothing about this stream\""),
            std::string::npos)
      << json.out;
}

// Wine takes only an absolute prefix, and a Wine that fails is told in each try line.
TEST(CliCheckTest, TryGivesWineAnAbsolutePrefixAndTellsWhenWineFails) {
  test::WinePrefixFolder prefix;
  test::FillTwoSidedPrefix(&prefix);
  test::ScratchDir scratch;
  const std::string file = scratch.Write("a.avi", test::Avi({test::VideoStream("cvid")}));
  const std::string cli = scratch.Write("korvane-cli.exe", "MZ");
  const std::string wine = FakeWine(scratch, "exit 53\n");
  const auto r =
      RunCommand("cd " + ShellQuote(prefix.scratch()) + " && KORVANE_WINE64=" + ShellQuote(wine) +
                 " KORVANE_CLI_WIN64=" + ShellQuote(cli) + " " + Cli() +
                 " check --try --view 64 --machine prefix " + ShellQuote(file));
  EXPECT_EQ(r.exitCode, 0) << r.err;  // not tried: the files decide, and they say it plays
  const std::string args = test::ReadFile(scratch.path() + "/args");
  EXPECT_NE(args.find("\nWINEPREFIX=" + prefix.path() + "\n"), std::string::npos) << args;
  EXPECT_NE(r.out.find("    try: not tried: " + wine +
                       " ended with exit status 53 before it told this stream (its messages are "
                       "on standard error)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  verdict: playable here\n"), std::string::npos) << r.out;
}

TEST(CliCheckTest, TryIsRefusedWhereNothingCanRunWithWhatIsMissing) {
  test::WinePrefixFolder prefix;
  test::FillTwoSidedPrefix(&prefix);
  test::ScratchDir scratch;
  const std::string file = scratch.Write("a.avi", test::Avi({test::VideoStream("cvid")}));
  const std::string cli = scratch.Write("korvane-cli.exe", "MZ");
  const std::string wine = FakeWine(scratch, "exit 0\n");
  struct Case {
    std::string command, errorPart;
  };
  const Case cases[] = {
      {Cli() + " check --try --machine " + ShellQuote(kExample) + " " + ShellQuote(file),
       kExample + " is not one but a Windows installation read from disk (a described machine, "
                  "an installation folder or a disk image), where nothing can run"},
      {"KORVANE_WINE32=" + ShellQuote(wine) + " KORVANE_CLI_WIN32=" + ShellQuote(cli) + " " +
           Cli() + " check --try --machine " + ShellQuote(prefix.path()) + " " + ShellQuote(file),
       "it is a 64-bit prefix without its 32-bit side"},
      // Said before any missing tool: no Wine or build would make that prefix run it.
      {"KORVANE_WINE32=/nonexistent/wine KORVANE_CLI_WIN32=/nonexistent/korvane-cli.exe " + Cli() +
           " check --try --machine " + ShellQuote(prefix.path()) + " " + ShellQuote(file),
       "it is a 64-bit prefix without its 32-bit side"},
      {"KORVANE_WINE64=/nonexistent/wine64 " + Cli() + " check --try --view 64 --machine " +
           ShellQuote(prefix.path()) + " " + ShellQuote(file),
       "$KORVANE_WINE64 is /nonexistent/wine64, which is not a program"},
  };
  for (const Case& c : cases) {
    const auto r = RunCommand(c.command);
    EXPECT_EQ(r.exitCode, 2) << c.command;
    EXPECT_NE(r.err.find(c.errorPart), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << c.command;
  }
}
#endif

TEST(CliCheckTest, HelpTellsTheOptionsAndTheExitStatus) {
  const auto help = RunCommand(Cli() + " check --help");
  EXPECT_EQ(help.exitCode, 0);
  for (const char* part : {"--machine PATH", "--json", "--try", "--try-timeout S", "--view 32|64",
                           "vidc.XXXX", "\"playable here\"", "Exit status: 0"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
  const auto top = RunCommand(Cli() + " --help");
  EXPECT_NE(top.out.find("  check "), std::string::npos);
}

}  // namespace
}  // namespace korvane

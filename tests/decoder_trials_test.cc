// Starting the tries of checked files and reading their findings back, with a stand-in for
// the child processes that records what it was asked to start.
#include "diag/decoder_trials.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "diag/try_finding.h"
#include "tests/checked_file_fixture.h"

namespace korvane {
namespace {

using End = ChildResult::End;

ChildResult Ended(End end, const std::string& output, uint32_t exitCode = 0,
                  const std::string& error = "") {
  ChildResult result;
  result.end = end;
  result.output = output;
  result.exitCode = exitCode;
  result.error = error;
  return result;
}

GraphFinding GraphFindingOf(TryOutcome outcome, const std::string& text) {
  GraphFinding graph;
  graph.finding = {outcome, text, 0, ""};
  return graph;
}

std::vector<std::string> Texts(const FileCheck& file) {
  std::vector<std::string> texts;
  for (const TryFinding& finding : file.tries) texts.push_back(finding.text);
  return texts;
}

using TryInChildrenTest = test::CheckedFileTest;

TEST_F(TryInChildrenTest, EachStreamThatNeedsADecoderGetsAChildAndItsEndIsTheFinding) {
  // Cinepak, PCM (needs no decoder), Motion JPEG, MP3, Cinepak.
  FileCheck file = CheckFile(
      "c.avi", {test::VideoStream("cvid"), test::AudioStream(0x0001), test::VideoStream("MJPG"),
                test::AudioStream(0x0055), test::VideoStream("cvid")});
  const std::map<std::string, ChildResult> byStream = {
      {"0", Ended(End::kExited,
                  "noise\n" + FindingLine(0, 0, {TryOutcome::kDecodes, "decodes: 1 frame", 0, ""}) +
                      "\n")},
      {"2", Ended(End::kTimedOut, StageLine("decoding frame 0 (ICDecompress)") + "\n")},
      {"3", Ended(End::kNotStarted, "", 0, "can't start prog.exe (error 2)")},
      {"4", Ended(End::kExited, StageLine("reading frame 1 through AVIFile") + "\n", 0xC0000005u)},
  };
  GraphFinding graph;
  graph.finding = {TryOutcome::kDecodes, "decodes: 1 frame, 64x48 RGB24", 0, ""};
  graph.frames = 1;
  graph.branches = {{"Source", "Splitter", "Decoder", "Renderer"}, {"Source", "Splitter", "R"}};
  std::vector<ChildProcess> started;
  std::vector<ChildProcess> graphs;
  const ChildRunner run = [&](const ChildProcess& child) {
    if (child.argv.at(2) == "--try-graph") {
      graphs.push_back(child);
      return Ended(End::kExited, GraphFindingLine(0, graph) + "\n");
    }
    started.push_back(child);
    return byStream.at(child.argv.at(3));
  };
  TryFileInChildren(run, "prog.exe", 1500, &file);

  EXPECT_EQ(Texts(file),
            (std::vector<std::string>{
                "decodes: 1 frame", "not tried: needs no decoder",
                "hangs: no answer within 1.5 s while decoding frame 0 (ICDecompress); the try "
                "was stopped",
                "not tried: can't start prog.exe (error 2)",
                "crashed: exception 0xC0000005 (access violation) in an unknown module while "
                "reading frame 1 through AVIFile"}));
  EXPECT_EQ(file.tries[2].outcome, TryOutcome::kHung);
  EXPECT_EQ(file.tries[4].outcome, TryOutcome::kCrashed);
  ASSERT_EQ(started.size(), 4u);
  EXPECT_EQ(started[0].argv,
            (std::vector<std::string>{"prog.exe", "check", "--try-stream", "0", file.path}));
  for (const ChildProcess& child : started) {
    EXPECT_EQ(child.timeoutMs, 1500);
    EXPECT_FALSE(child.keepStandardError);  // a decoder's chatter is not the report's
  }
  // One DirectShow graph for the file, with a renderer for each of its five streams.
  ASSERT_EQ(graphs.size(), 1u);
  EXPECT_EQ(graphs[0].argv,
            (std::vector<std::string>{"prog.exe", "check", "--try-graph", "5", file.path}));
  EXPECT_EQ(graphs[0].timeoutMs, 1500 + 10000);  // and time to start DirectShow
  ASSERT_TRUE(file.paths.directshowTry.has_value());
  EXPECT_EQ(file.paths.directshowTry->finding.text, "decodes: 1 frame, 64x48 RGB24");
  EXPECT_EQ(file.paths.directshowTry->frames, 1u);
  EXPECT_EQ(file.paths.directshowTry->filters,
            (std::vector<std::string>{"Source", "Splitter", "Decoder", "Renderer", "R"}));
}

TEST_F(TryInChildrenTest, TheGraphChildsEndIsItsFindingAndAFileWithNothingToTryHasNoGraph) {
  struct Case {
    ChildResult result;
    TryOutcome outcome;
    std::string text;
  };
  const Case cases[] = {
      {Ended(End::kTimedOut, StageLine("connecting the file's streams to renderers "
                                       "(IFilterGraph2::RenderEx)") +
                                 "\n"),
       TryOutcome::kHung,
       "hangs: no answer within 12 s while connecting the file's streams to renderers "
       "(IFilterGraph2::RenderEx); the try was stopped"},
      {Ended(End::kExited, StageLine("running the graph (IMediaControl::Run)") + "\n", 0xC0000005u),
       TryOutcome::kCrashed,
       "crashed: exception 0xC0000005 (access violation) in an unknown module while running "
       "the graph (IMediaControl::Run)"},
      {Ended(End::kNotStarted, "", 0, "can't start prog.exe (error 2)"), TryOutcome::kNotTried,
       "not tried: can't start prog.exe (error 2)"},
  };
  for (const Case& c : cases) {
    FileCheck file = CheckFile("g.avi", {test::VideoStream("MJPG")});
    TryFileInChildren(
        [&](const ChildProcess& child) {
          return child.argv.at(2) == "--try-graph" ? c.result : Ended(End::kExited, "");
        },
        "prog.exe", 2000, &file);
    ASSERT_TRUE(file.paths.directshowTry.has_value());
    EXPECT_EQ(file.paths.directshowTry->finding.outcome, c.outcome);
    EXPECT_EQ(file.paths.directshowTry->finding.text, c.text);
  }
  FileCheck plain = CheckFile("p.avi", {test::AudioStream(0x0001)});
  int children = 0;
  TryFileInChildren(
      [&](const ChildProcess&) {
        ++children;
        return Ended(End::kExited, "");
      },
      "prog.exe", 2000, &plain);
  EXPECT_EQ(children, 0);
  EXPECT_FALSE(plain.paths.directshowTry.has_value());
}

class TryUnderWineTest : public test::CheckedFileTest {
 protected:
  void SetUp() override {
    test::CheckedFileTest::SetUp();
    ::mkdir((scratch.path() + "/c").c_str(), 0755);
    files = {CheckFile("c/on drive.avi", {test::VideoStream("cvid"), test::AudioStream(0x0001),
                                          test::VideoStream("MJPG")}),
             CheckFile("off.avi", {test::AudioStream(0x0055)}),
             CheckAviFile(machine, ReadInstalledDrivers(machine), scratch.path() + "/gone.avi"),
             CheckFile("c/second.avi", {test::AudioStream(0x0055)})};
    trial.wine = "/w/wine64";
    trial.cliExe = "/w/korvane-cli.exe";
    trial.prefix = scratch.path() + "/prefix";
    trial.drives = {{'C', scratch.path() + "/c"}};
    trial.timeoutMs = 2000;
  }
  // Runs the trial with a stand-in that answers with result and records what it started.
  void Run(const ChildResult& result) {
    TryFilesUnderWine(
        [&](const ChildProcess& child) {
          started.push_back(child);
          return result;
        },
        trial, &files);
  }
  std::vector<FileCheck> files;
  WineTrial trial;
  std::vector<ChildProcess> started;
};

TEST_F(TryUnderWineTest, OneRunTriesEveryFileOnTheDrivesAndItsLinesFindTheirStreams) {
  const std::string output =
      FindingLine(0, 0, {TryOutcome::kDecodes, "decodes: 10 frames", 0, ""}) + "\n" +
      "fixme:avifile:noise\n" +
      FindingLine(0, 1, {TryOutcome::kNotTried, "not tried: needs no decoder", 0, ""}) + "\n" +
      FindingLine(1, 0, {TryOutcome::kCrashed, "crashed: x", 0xC0000005u, "l3codeca.acm"}) +
      "\r\n" + FindingLine(7, 0, {TryOutcome::kDecodes, "a file never passed", 0, ""}) + "\n" +
      FindingLine(0, 9, {TryOutcome::kDecodes, "a stream the file lacks", 0, ""}) + "\n" +
      GraphFindingLine(1, GraphFindingOf(TryOutcome::kDoesNotDecode, "does not decode: E_FAIL")) +
      "\n" + GraphFindingLine(5, GraphFindingOf(TryOutcome::kDecodes, "a file never passed")) +
      "\n";
  Run(Ended(End::kExited, output));

  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].argv, (std::vector<std::string>{"/w/wine64", "/w/korvane-cli.exe", "check",
                                                       "--try-findings", "--try-timeout-ms", "2000",
                                                       "C:\\on drive.avi", "C:\\second.avi"}));
  EXPECT_EQ(started[0].extraEnv,
            (std::vector<std::string>{"WINEPREFIX=" + trial.prefix, "WINEDEBUG=-all",
                                      "WINEDLLOVERRIDES=mscoree,mshtml="}));
  // Wine's start, then three streams and two graphs to try, each with its limit and its
  // own start, and the graphs with time to start DirectShow.
  EXPECT_EQ(started[0].timeoutMs, 60000 + 5 * (2000 + 3000) + 2 * 10000);
  EXPECT_TRUE(started[0].keepStandardError);  // Wine's own messages say why it failed

  EXPECT_EQ(Texts(files[0]),
            (std::vector<std::string>{"decodes: 10 frames", "not tried: needs no decoder",
                                      "not tried: the Windows CLI under Wine said nothing about "
                                      "this stream"}));
  EXPECT_EQ(Texts(files[1]), (std::vector<std::string>{"not tried: the file is on no drive of "
                                                       "the Wine prefix " +
                                                       trial.prefix}));
  EXPECT_TRUE(files[2].tries.empty());  // not read, so nothing to try
  EXPECT_EQ(files[3].tries[0].outcome, TryOutcome::kCrashed);
  EXPECT_EQ(files[3].tries[0].module, "l3codeca.acm");
  // The graph lines find their files too; a file the run said nothing of says so.
  ASSERT_TRUE(files[3].paths.directshowTry.has_value());
  EXPECT_EQ(files[3].paths.directshowTry->finding.text, "does not decode: E_FAIL");
  ASSERT_TRUE(files[0].paths.directshowTry.has_value());
  EXPECT_EQ(files[0].paths.directshowTry->finding.text,
            "not tried: the Windows CLI under Wine said nothing about this file's graph");
  ASSERT_TRUE(files[1].paths.directshowTry.has_value());
  EXPECT_EQ(files[1].paths.directshowTry->finding.text,
            "not tried: the file is on no drive of the Wine prefix " + trial.prefix);
  EXPECT_FALSE(files[2].paths.directshowTry.has_value());
}

TEST_F(TryUnderWineTest, ARunThatFailsLeavesWhatItFoundAndSaysWhyTheRestIsMissing) {
  struct Case {
    ChildResult result;
    std::string why;
  };
  const std::string found =
      FindingLine(0, 0, {TryOutcome::kDecodes, "decodes: 10 frames", 0, ""}) + "\n";
  const Case cases[] = {
      {Ended(End::kExited, found, 1),
       "/w/wine64 ended with exit status 1 before it told this stream (its messages are on "
       "standard error)"},
      {Ended(End::kTimedOut, found), "/w/wine64 did not finish within 105 s and was stopped"},
      {Ended(End::kNotStarted, "", 0, "can't start /w/wine64: No such file or directory"),
       "can't start /w/wine64: No such file or directory"},
  };
  const std::vector<FileCheck> checked = files;
  for (const Case& c : cases) {
    files = checked;
    Run(c.result);
    const bool ranAtAll = c.result.end != End::kNotStarted;
    EXPECT_EQ(files[0].tries[0].text, ranAtAll ? "decodes: 10 frames" : "not tried: " + c.why);
    EXPECT_EQ(files[0].tries[2].text, "not tried: " + c.why);
    EXPECT_EQ(files[3].tries[0].text, "not tried: " + c.why);
    EXPECT_EQ(files[0].tries[1].text, "not tried: needs no decoder");
    EXPECT_EQ(files[3].paths.directshowTry->finding.text, "not tried: " + c.why);
  }
}

TEST_F(TryUnderWineTest, NothingToTryStartsNothing) {
  files = {files[1], files[2]};  // off the drives, and unreadable
  Run(Ended(End::kExited, ""));
  EXPECT_TRUE(started.empty());
  EXPECT_EQ(files[0].tries[0].text,
            "not tried: the file is on no drive of the Wine prefix " + trial.prefix);
}

TEST(WindowsPathTest, FilesAreOnTheDriveThatHoldsThemMostClosely) {
  test::ScratchDir scratch;
  const std::string prefix = scratch.path() + "/prefix";
  scratch.Write("prefix/drive_c/videos/a.avi", "RIFF");
  scratch.Write("elsewhere/b c.avi", "RIFF");
  const std::map<char, std::string> drives = {
      {'C', prefix + "/dosdevices/../drive_c"}, {'Z', "/"}, {'D', scratch.path() + "/elsewhere/"}};
  ::mkdir((prefix + "/dosdevices").c_str(), 0755);
  struct Case {
    std::string host;
    std::optional<std::string> windows;
  };
  const Case cases[] = {
      {prefix + "/drive_c/videos/a.avi", std::string("C:\\videos\\a.avi")},
      {scratch.path() + "/elsewhere/b c.avi", std::string("D:\\b c.avi")},
      {scratch.path() + "/elsewhere/../prefix/drive_c/videos/a.avi",
       std::string("C:\\videos\\a.avi")},
      {"/etc/hostname", std::string("Z:\\etc\\hostname")},
  };
  for (const Case& c : cases) EXPECT_EQ(WindowsPathOnDrives(drives, c.host), c.windows) << c.host;
  EXPECT_EQ(WindowsPathOnDrives({{'C', prefix + "/drive_c"}}, "/etc/hostname"), std::nullopt);
  EXPECT_EQ(WindowsPathOnDrives({{'C', prefix + "/drive_c"}}, prefix + "/drive_cx/a.avi"),
            std::nullopt);
}

}  // namespace
}  // namespace korvane

// How the findings of a try change a checked file's verdict.
#include "diag/file_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/checked_file_fixture.h"

namespace korvane {
namespace {

using TryVerdictTest = test::CheckedFileTest;

TEST_F(TryVerdictTest, TheTryDecidesWhereItTellsMoreThanTheFiles) {
  const TryFinding decodes = T(TryOutcome::kDecodes, "decodes: 1 frame, 8x8, 24-bit");
  const TryFinding noMjpg =
      T(TryOutcome::kDoesNotDecode, "does not decode: no decompressor for 'MJPG'");
  const std::string mjpgAdvice =
      "install a Video for Windows decoder for Motion JPEG (MJPG): vidc.MJPG";
  struct Case {
    const char* name;
    std::vector<TryFinding> tries;
    bool playable;
    std::string verdict;
  };
  const Case cases[] = {
      {"all decode, even the unregistered one", {decodes, decodes, decodes}, true, "playable here"},
      {"the missing decoder keeps its advice", {decodes, decodes, noMjpg}, false, mjpgAdvice},
      {"registered and loads, but does not decode",
       {T(TryOutcome::kDoesNotDecode, "does not decode: ICDecompress on frame 0: ICERR_BADFORMAT"),
        decodes, decodes},
       false,
       "repair the decoder for Cinepak (cvid), C:\\WINDOWS\\SYSTEM\\iccvid.dll: it loads but does "
       "not decode: ICDecompress on frame 0: ICERR_BADFORMAT"},
      {"a crash in the decoder",
       {decodes,
        T(TryOutcome::kCrashed, "crashed: exception 0xC0000005 (access violation) in l3codeca.acm",
          0xC0000005u, "l3codeca.acm"),
        decodes},
       false,
       "repair or replace the decoder for MP3 (0x0055), C:\\WINDOWS\\SYSTEM\\l3codeca.acm: its "
       "try crashed (exception 0xC0000005 (access violation) in l3codeca.acm)"},
      {"a hang, beside the missing decoder",
       {T(TryOutcome::kHung, "hangs: no answer within 5 s; the try was stopped"), decodes, noMjpg},
       false,
       "repair or replace the decoder for Cinepak (cvid), C:\\WINDOWS\\SYSTEM\\iccvid.dll: its "
       "try hung (no answer within 5 s; the try was stopped); " +
           mjpgAdvice},
      {"not tried keeps what the files say",
       {T(TryOutcome::kNotTried, "not tried: x"), T(TryOutcome::kNotTried, "not tried: x"),
        T(TryOutcome::kNotTried, "not tried: x")},
       false,
       mjpgAdvice},
  };
  for (const Case& c : cases) {
    const FileCheck file = Check(c.tries);
    EXPECT_EQ(file.playable, c.playable) << c.name;
    EXPECT_EQ(file.verdict, c.verdict) << c.name;
  }
}

TEST_F(TryVerdictTest, TheDirectShowTryNamesItsPathWhereItDiffersOrFails) {
  const TryFinding decodes = T(TryOutcome::kDecodes, "decodes: 1 frame, 8x8, 24-bit");
  const TryFinding noMjpg =
      T(TryOutcome::kDoesNotDecode, "does not decode: no decompressor for 'MJPG'");
  const std::string mjpgAdvice =
      "install a Video for Windows decoder for Motion JPEG (MJPG): vidc.MJPG";
  const std::string cannotRender =
      "does not decode: VFW_E_CANNOT_RENDER while connecting the file's streams to renderers "
      "(IFilterGraph2::RenderEx)";
  struct Case {
    const char* name;
    std::vector<TryFinding> tries;
    TryFinding graph;
    bool playable;
    bool directshowPlayable;
    std::string verdict;
  };
  const Case cases[] = {
      {"both decode: the verdict stays",
       {decodes, decodes, decodes},
       T(TryOutcome::kDecodes, "decodes: 10 frames, 8x8 RGB24"),
       true,
       true,
       "playable here"},
      {"only DirectShow decodes",
       {decodes, decodes, noMjpg},
       T(TryOutcome::kDecodes, "decodes: 10 frames, 8x8 YUY2"),
       false,
       true,
       "plays in DirectShow players (their try decodes it); Video for Windows programs: " +
           mjpgAdvice},
      {"only Video for Windows decodes",
       {decodes, decodes, decodes},
       T(TryOutcome::kDoesNotDecode, cannotRender),
       true,
       false,
       "playable here; not in DirectShow players: their try " + cannotRender},
      {"neither decodes",
       {decodes, decodes, noMjpg},
       T(TryOutcome::kHung, "hangs: no answer"),
       false,
       false,
       mjpgAdvice + "; not in DirectShow players: their try hangs: no answer"},
      {"a crash is named",
       {decodes, decodes, decodes},
       T(TryOutcome::kCrashed, "crashed: exception 0xC0000005 (access violation) in kvdscrash.dll",
         0xC0000005u, "kvdscrash.dll"),
       true,
       false,
       "playable here; not in DirectShow players: their try crashed: exception 0xC0000005 "
       "(access violation) in kvdscrash.dll"},
      {"not tried says nothing",
       {decodes, decodes, noMjpg},
       T(TryOutcome::kNotTried, "not tried: x"),
       false,
       false,
       mjpgAdvice},
  };
  for (const Case& c : cases) {
    FileCheck file = CheckFile(
        "a.avi", {test::VideoStream("cvid"), test::AudioStream(0x0055), test::VideoStream("MJPG")});
    file.tries = c.tries;
    file.paths.directshowTry = DirectShowTry{c.graph, {}, 0, {}};
    ApplyTries(&file);
    EXPECT_EQ(file.playable, c.playable) << c.name;
    EXPECT_EQ(file.paths.directshowPlayable, c.directshowPlayable) << c.name;
    EXPECT_EQ(file.verdict, c.verdict) << c.name;
  }
}

// Where the registrations were read, the try overrules what they promised: a graph that
// fails is not called playable, though the registrations said it would play, and one that
// decodes plays, though they named something missing.
TEST_F(TryVerdictTest, TheDirectShowTryOverrulesTheRegistrations) {
  const TryFinding noMjpg =
      T(TryOutcome::kDoesNotDecode, "does not decode: no decompressor for 'MJPG'");
  const std::string cannotRender = "does not decode: VFW_E_CANNOT_RENDER while connecting";
  struct Case {
    const char* name;
    bool registrationsPlay;
    TryFinding graph;
    bool playable;
    std::string verdict;
  };
  const Case cases[] = {
      {"promised, but the graph fails", true, T(TryOutcome::kDoesNotDecode, cannotRender), false,
       "install a Video for Windows decoder for Motion JPEG (MJPG): vidc.MJPG; DirectShow players "
       "(GStreamer splitter filter) need a graph that works: their try " +
           cannotRender},
      {"not promised, but the graph decodes", false,
       T(TryOutcome::kDecodes, "decodes: 10 frames, 8x8 I420"), true,
       "plays in DirectShow players (GStreamer splitter filter); Video for Windows programs need "
       "vidc.MJPG"},
      {"promised and decoded", true, T(TryOutcome::kDecodes, "decodes: 10 frames, 8x8 I420"), true,
       "plays in DirectShow players (GStreamer splitter filter); Video for Windows programs need "
       "vidc.MJPG"},
  };
  for (const Case& c : cases) {
    FileCheck file = CheckFile("a.avi", {test::VideoStream("MJPG")});
    file.paths.known = true;
    file.paths.splitter = "GStreamer splitter filter";
    file.paths.streams.resize(1);
    file.paths.directshowPlayable = c.registrationsPlay;
    if (!c.registrationsPlay) file.paths.directshowNeeds = {"a GStreamer image/jpeg decoder"};
    file.tries = {noMjpg};
    file.paths.directshowTry = DirectShowTry{c.graph, {}, 0, {}};
    ApplyTries(&file);
    EXPECT_EQ(file.playable, c.playable) << c.name;
    EXPECT_EQ(file.paths.directshowPlayable, c.graph.outcome == TryOutcome::kDecodes) << c.name;
    EXPECT_EQ(file.verdict, c.verdict) << c.name;
  }
}

TEST(ChainTextTest, TheFirstBranchIsWholeAndEachFurtherOneStartsWhereItForks) {
  struct Case {
    std::vector<std::vector<std::string>> branches;
    std::string text;
  };
  const Case cases[] = {
      {{}, ""},
      {{{"S"}}, "S"},
      {{{"S", "AVI Splitter", "AVI Decompressor", "R"}},
       "S -> AVI Splitter -> AVI Decompressor -> R"},
      {{{"S", "Sp", "Dec", "R"}, {"S", "Sp", "ACM Wrapper", "R"}},
       "S -> Sp -> Dec -> R; Sp -> ACM Wrapper -> R"},
      // Names are all a branch has: two that share all but their renderer fork before it.
      {{{"S", "Sp", "Dec", "R"}, {"S", "Sp", "Dec", "R"}}, "S -> Sp -> Dec -> R; Dec -> R"},
      {{{"S", "A"}, {"T", "A"}}, "S -> A; T -> A"},
  };
  for (const Case& c : cases) EXPECT_EQ(ChainText(c.branches, " -> "), c.text);
  // Each filter once, in the order the branches meet them.
  GraphFinding graph;
  graph.branches = {{"S", "Sp", "Dec", "R"}, {"S", "Sp", "ACM Wrapper", "R"}};
  EXPECT_EQ(DirectShowTryOf(graph).filters,
            (std::vector<std::string>{"S", "Sp", "Dec", "R", "ACM Wrapper"}));
}

}  // namespace
}  // namespace korvane

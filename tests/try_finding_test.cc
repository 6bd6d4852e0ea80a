// The one-line form of a try's finding between processes, and what a child that left none
// tells by how it ended.
#include "diag/try_finding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {
namespace {

TEST(TryFindingLineTest, EveryOutcomeSurvivesTheLineAndOddTextIsKeptOnOneLine) {
  struct Case {
    TryFinding finding;
    std::string expectedText;  // what comes back, once tabs and breaks became spaces
  };
  const Case cases[] = {
      {{TryOutcome::kDecodes, "decodes: 10 frames, 320x240, 24-bit", 0, ""},
       "decodes: 10 frames, 320x240, 24-bit"},
      {{TryOutcome::kDoesNotDecode, "does not decode: no decompressor for 'MJPG'", 0, ""},
       "does not decode: no decompressor for 'MJPG'"},
      {{TryOutcome::kCrashed, "crashed: x", 0xC0000005u, "kvcrash.dll"}, "crashed: x"},
      {{TryOutcome::kHung, "hangs:\tno\r\nanswer", 0, ""}, "hangs: no  answer"},
      {{TryOutcome::kNotTried, "", 0, ""}, ""},
      {{TryOutcome::kCrashed, "c", 0xFFFFFFFFu, "odd\tname.dll"}, "c"},
  };
  for (const Case& c : cases) {
    const std::string line = FindingLine(7, 3, c.finding);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    const auto parsed = ParseFindingLine(line + "\r\n");
    ASSERT_TRUE(parsed.has_value()) << line;
    EXPECT_EQ(parsed->file, 7u);
    EXPECT_EQ(parsed->stream, 3u);
    EXPECT_EQ(parsed->finding.outcome, c.finding.outcome) << line;
    EXPECT_EQ(parsed->finding.text, c.expectedText);
    EXPECT_EQ(parsed->finding.exceptionCode, c.finding.exceptionCode);
    std::string module = c.finding.module;
    for (char& ch : module) ch = ch == '\t' ? ' ' : ch;
    EXPECT_EQ(parsed->finding.module, module);
  }
}

TEST(TryFindingLineTest, OtherLinesAreNotFindings) {
  for (const char* line :
       {"", "korvane-try", "fixme:avifile:something", "korvane-try\t0\t0\tdecodes\t0x0\t-",
        "korvane-try\tx\t0\tdecodes\t0x0\t-\ttext", "korvane-try\t0\t0\tplays\t0x0\t-\ttext",
        "korvane-try\t0\t0\tdecodes\t0x100000000\t-\ttext",
        "korvane-try\t-1\t0\tdecodes\t0x0\t-\ttext", "korvane-try\t0\t 1\tdecodes\t0\t-\tt",
        "Korvane-try\t0\t0\tdecodes\t0x0\t-\ttext", "korvane-try-stage\treading"}) {
    EXPECT_FALSE(ParseFindingLine(line).has_value()) << line;
  }
  EXPECT_TRUE(ParseFindingLine("korvane-try\t0\t0\tdecodes\t0\t-\ta\tb").has_value());
}

TEST(TryFindingLineTest, ChildOutputGivesItsFindingElseItsExitCodeAndLastStage) {
  struct Case {
    std::string output;
    uint32_t exitCode;
    TryOutcome outcome;
    std::string text;
  };
  const std::string found = FindingLine(0, 1, {TryOutcome::kDecodes, "decodes to PCM", 0, ""});
  const Case cases[] = {
      {"noise\n" + StageLine("a") + "\n" + found + "\n", 0, TryOutcome::kDecodes, "decodes to PCM"},
      {StageLine("opening") + "\n" + StageLine("decoding frame 2 (ICDecompress)") + "\n",
       0xC0000005u, TryOutcome::kCrashed,
       "crashed: exception 0xC0000005 (access violation) in an unknown module while decoding "
       "frame 2 (ICDecompress)"},
      {StageLine("reading the first blocks through AVIFile") + "\r\n", 3, TryOutcome::kCrashed,
       "crashed: aborted (exit code 3) while reading the first blocks through AVIFile"},
      {"", 0xC00000FDu, TryOutcome::kCrashed,
       "crashed: exception 0xC00000FD (stack overflow) in an unknown module"},
      {"", 0x80000003u, TryOutcome::kCrashed,
       "crashed: exception 0x80000003 (breakpoint) in an unknown module"},
      {"", 0xC0DE0001u, TryOutcome::kCrashed, "crashed: exception 0xC0DE0001 in an unknown module"},
      {"", 1, TryOutcome::kNotTried, "not tried: the try ended with exit code 1 and no finding"},
      {"", 0, TryOutcome::kNotTried, "not tried: the try ended with exit code 0 and no finding"},
  };
  for (const Case& c : cases) {
    const TryFinding finding = FindingFromChildOutput(c.output, c.exitCode);
    EXPECT_EQ(finding.outcome, c.outcome) << c.output;
    EXPECT_EQ(finding.text, c.text);
    EXPECT_EQ(finding.exceptionCode,
              c.outcome == TryOutcome::kCrashed && c.exitCode != 3 ? c.exitCode : 0u);
  }
  EXPECT_EQ(HungFinding(5000, "decoding frame 0 (ICDecompress)").text,
            "hangs: no answer within 5 s while decoding frame 0 (ICDecompress); the try was "
            "stopped");
  EXPECT_EQ(HungFinding(1500, "").outcome, TryOutcome::kHung);
  EXPECT_EQ(HungFinding(1500, "").text, "hangs: no answer within 1.5 s; the try was stopped");
}

TEST(GraphFindingLineTest, TheGraphAndItsFindingSurviveTheLineAndOtherLinesAreNotIt) {
  struct Case {
    GraphFinding graph;
    std::vector<std::vector<std::string>> expectedBranches;  // as they come back
  };
  GraphFinding decodes;
  decodes.finding = {TryOutcome::kDecodes, "decodes: 10 frames, 64x48 RGB24", 0, ""};
  decodes.frames = 10;
  decodes.branches = {{"File Source (Async.)", "AVI Splitter", "AVI Decompressor", "R"},
                      {"File Source (Async.)", "AVI Splitter", "ACM Wrapper", "R"}};
  GraphFinding crashed;
  crashed.finding = {TryOutcome::kCrashed, "crashed: x\ny", 0xC0000005u, "kvdscrash.dll"};
  GraphFinding odd;
  odd.finding = {TryOutcome::kDoesNotDecode, "does not decode: VFW_E_CANNOT_RENDER", 0, ""};
  odd.branches = {{"Tab\there", "Unit\x1fsep"}, {}};
  const Case cases[] = {
      {decodes, decodes.branches},
      {crashed, {}},
      {odd, {{"Tab here", "Unit sep"}, {""}}},
  };
  for (const Case& c : cases) {
    const std::string line = GraphFindingLine(4, c.graph);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    const auto parsed = ParseGraphFindingLine(line + "\r\n");
    ASSERT_TRUE(parsed.has_value()) << line;
    EXPECT_EQ(parsed->file, 4u);
    EXPECT_EQ(parsed->graph.finding.outcome, c.graph.finding.outcome);
    EXPECT_EQ(parsed->graph.finding.exceptionCode, c.graph.finding.exceptionCode);
    EXPECT_EQ(parsed->graph.finding.module, c.graph.finding.module);
    EXPECT_EQ(parsed->graph.frames, c.graph.frames);
    EXPECT_EQ(parsed->graph.branches, c.expectedBranches) << line;
    // A stream's parser does not take it, nor this one a stream's line.
    EXPECT_FALSE(ParseFindingLine(line).has_value());
  }
  EXPECT_EQ(ParseGraphFindingLine(GraphFindingLine(0, crashed))->graph.finding.text,
            "crashed: x y");
  for (const char* line :
       {"", "korvane-try-graph", "korvane-try\t0\t0\tdecodes\t0x0\t-\tt",
        "korvane-try-graph\t0\tdecodes\t0x0\t-\t10", "korvane-try-graph\tx\tdecodes\t0\t-\t1\tt",
        "korvane-try-graph\t0\tplays\t0\t-\t1\tt", "korvane-try-graph\t0\tdecodes\t0\t-\t-1\tt",
        "korvane-try-graph\t0\tdecodes\t0x100000000\t-\t1\tt"}) {
    EXPECT_FALSE(ParseGraphFindingLine(line).has_value()) << line;
  }
}

TEST(GraphFindingLineTest, ChildOutputGivesItsGraphLineElseItsExitCodeAndLastStage) {
  GraphFinding found;
  found.finding = {TryOutcome::kDoesNotDecode, "does not decode: VFW_E_CANNOT_RENDER", 0, ""};
  found.branches = {{"File Source (Async.)"}};
  const std::string output = StageLine("connecting") + "\n" +
                             FindingLine(0, 0, {TryOutcome::kDecodes, "decodes", 0, ""}) + "\n" +
                             GraphFindingLine(0, found) + "\n";
  const GraphFinding parsed = GraphFindingFromChildOutput(output, 0);
  EXPECT_EQ(parsed.finding.text, found.finding.text);
  EXPECT_EQ(parsed.branches, found.branches);
  const GraphFinding died = GraphFindingFromChildOutput(
      StageLine("connecting the file's streams to renderers (IFilterGraph2::RenderEx)") + "\n",
      0xC0000005u);
  EXPECT_EQ(died.finding.outcome, TryOutcome::kCrashed);
  EXPECT_EQ(died.finding.text,
            "crashed: exception 0xC0000005 (access violation) in an unknown module while "
            "connecting the file's streams to renderers (IFilterGraph2::RenderEx)");
  EXPECT_TRUE(died.branches.empty());
}

TEST(TryFindingLineTest, DurationsAreSaidInWholeSecondsOrTheirFractions) {
  struct Case {
    int milliseconds;
    std::string expected;
  };
  const Case cases[] = {{5000, "5 s"}, {250, "250 ms"}, {1500, "1.5 s"}, {2005, "2.005 s"}};
  for (const Case& c : cases) EXPECT_EQ(DurationText(c.milliseconds), c.expected);
}

}  // namespace
}  // namespace korvane

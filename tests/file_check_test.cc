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

}  // namespace
}  // namespace korvane

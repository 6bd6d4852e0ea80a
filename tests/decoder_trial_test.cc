// What a decoder trial finds: the names of its outcomes and of the Windows codes it meets.
#include "platform/decoder_trial.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

TEST(TryOutcomeTest, EveryOutcomeIsReadBackFromItsName) {
  for (TryOutcome outcome : {TryOutcome::kDecodes, TryOutcome::kDoesNotDecode, TryOutcome::kCrashed,
                             TryOutcome::kHung, TryOutcome::kNotTried}) {
    EXPECT_EQ(TryOutcomeFromName(TryOutcomeName(outcome)), outcome) << TryOutcomeName(outcome);
  }
  EXPECT_EQ(TryOutcomeFromName("plays"), std::nullopt);
}

TEST(TryCodeNamesTest, KnownCodesByNameOthersByNumber) {
  struct Case {
    std::string got, expected;
  };
  const Case cases[] = {
      {IcErrorName(0), "ICERR_OK"},
      {IcErrorName(-2), "ICERR_BADFORMAT"},
      {IcErrorName(-100), "ICERR_ERROR"},
      {IcErrorName(-201), "ICERR_BADIMAGESIZE"},
      {IcErrorName(1), "ICERR_DONTDRAW"},
      {IcErrorName(-11), "error -11"},
      {MmResultName(0), "MMSYSERR_NOERROR"},
      {MmResultName(8), "MMSYSERR_NOTSUPPORTED"},
      {MmResultName(11), "MMSYSERR_INVALPARAM"},
      {MmResultName(512), "ACMERR_NOTPOSSIBLE"},
      {MmResultName(515), "ACMERR_CANCELED"},
      {MmResultName(516), "error 516"},
      {AviErrorName(static_cast<long>(0x80044000u + 102)), "AVIERR_BADFORMAT"},
      {AviErrorName(static_cast<long>(0x80044000u + 113)), "AVIERR_NOCOMPRESSOR"},
      {AviErrorName(static_cast<long>(0x80044000u + 199)), "AVIERR_ERROR"},
      {AviErrorName(static_cast<long>(0x80044000u + 150)), "error 0x80044096"},
      {AviErrorName(static_cast<long>(0x80040154u)), "REGDB_E_CLASSNOTREG"},
      {AviErrorName(0x1234), "error 0x00001234"},
      {ExceptionName(0xC0000094u), "integer division by zero"},
      {ExceptionName(0xE06D7363u), "C++ exception"},
      {ExceptionName(0xC0000001u), ""},
      {CrashText(0xC0000005u, "a.dll"),
       "crashed: exception 0xC0000005 (access violation) in a.dll"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

}  // namespace
}  // namespace korvane

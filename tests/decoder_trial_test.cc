// What a decoder trial finds: the names of its outcomes and of the Windows codes it meets.
#include "platform/decoder_trial.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
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

// Every HRESULT name given is the one the MinGW headers define for that value, checked
// against each value the headers define; without the headers there is nothing to check.
TEST(TryCodeNamesTest, HresultNamesAreTheHeadersOwn) {
  const std::string include = "/usr/x86_64-w64-mingw32/include/";
  std::map<std::string, uint32_t> defined;
  const std::regex definition(
      R"(^#define\s+(\w+)\s+(?:\(\(HRESULT\)|_HRESULT_TYPEDEF_\(|__MSABI_LONG\()(0x[0-9A-Fa-f]+|\d+)L?\)+)");
  for (const char* header : {"vfwmsgs.h", "winerror.h"}) {
    std::ifstream in(include + header);
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
      if (std::regex_search(line, match, definition)) {
        defined[match[1]] = static_cast<uint32_t>(std::stoul(match[2], nullptr, 0));
      }
    }
  }
  if (defined.empty()) GTEST_SKIP() << "no MinGW headers in " << include;
  std::map<uint32_t, std::string> named;
  for (const auto& [name, value] : defined) {
    const std::string given = HresultName(static_cast<long>(value));
    if (given.rfind("0x", 0) != 0) named[value] = given;
  }
  for (const auto& [value, given] : named) {
    std::string name = given;
    uint32_t expected = value;
    const std::string win32 = "HRESULT_FROM_WIN32(";
    if (name.rfind(win32, 0) == 0) {
      name = name.substr(win32.size(), name.size() - win32.size() - 1);
      expected = value & 0xFFFFu;
    }
    ASSERT_EQ(defined.count(name), 1u) << given;
    EXPECT_EQ(defined[name], expected) << given;
  }
  EXPECT_GE(named.size(), 45u);  // the table's names nearly all met a definition
  EXPECT_EQ(HresultName(static_cast<long>(0x80040999u)), "0x80040999");
}

// Which registered decoders a graph that did not decode gets made, to name why it left
// them out, and how their errors read after the try's text.
TEST(UnmadeDecodersTest, EachStreamsFirstOffersNotInTheGraphOnce) {
  const DecoderOffer kvdn{"{4E44564B-4B56-4453-8000-6B7664736E6F}", "Korvane test filter KVDN"};
  const DecoderOffer divx{"{78766964-0000-0010-8000-00AA00389B71}", "DivX Decoder"};
  const DecoderOffer ffdshow{"{04FE9017-F873-410E-871E-AB91661A4EF7}", "ffdshow Video Decoder"};
  const DecoderOffer xvid{"{64697678-0000-0010-8000-00AA00389B71}", "Xvid MPEG-4 Decoder"};
  const DecoderOffer mp3{"{38270C05-8D0B-4B37-A4F0-4A33C5E5C5D4}", "MPEG Layer-3 Decoder"};
  struct Case {
    const char* what;
    std::vector<std::vector<DecoderOffer>> offers;
    std::vector<std::string> inGraph;
    size_t perStream;
    std::vector<std::string> made;  // names, in order
  };
  const std::vector<Case> cases = {
      {"no compressed stream", {}, {}, 3, {}},
      {"a stream nothing is registered for", {{}}, {}, 3, {}},
      {"one decoder", {{kvdn}}, {}, 3, {"Korvane test filter KVDN"}},
      {"best merit first, cut at perStream",
       {{divx, ffdshow, xvid}},
       {},
       2,
       {"DivX Decoder", "ffdshow Video Decoder"}},
      // The graph made it and it took no stream or it did: either way it was made.
      {"one the graph holds is not made again, in any letter case",
       {{ffdshow, divx}},
       {"{04fe9017-f873-410e-871e-ab91661a4ef7}"},
       3,
       {"DivX Decoder"}},
      {"the cut counts the offers, not what is left after the graph's",
       {{ffdshow, divx, xvid}},
       {ffdshow.clsid},
       2,
       {"DivX Decoder"}},
      {"a decoder offered for two streams is made once",
       {{ffdshow, divx}, {ffdshow, mp3}},
       {},
       3,
       {"ffdshow Video Decoder", "DivX Decoder", "MPEG Layer-3 Decoder"}},
      {"streams in the file's order",
       {{mp3}, {kvdn}},
       {},
       1,
       {"MPEG Layer-3 Decoder", "Korvane test filter KVDN"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> made;
    for (const DecoderOffer& offer : DecodersToMake(c.offers, c.inGraph, c.perStream)) {
      made.push_back(offer.name);
    }
    EXPECT_EQ(made, c.made) << c.what;
  }

  EXPECT_EQ(UnmadeDecodersText({}), "");
  EXPECT_EQ(
      UnmadeDecodersText({{"Korvane test filter KVDN (no class)", static_cast<long>(0x80040111u)}}),
      "; Korvane test filter KVDN (no class) cannot be made: CLASS_E_CLASSNOTAVAILABLE");
  EXPECT_EQ(UnmadeDecodersText(
                {{"A", static_cast<long>(0x80040154u)}, {"B", static_cast<long>(0x8007007Eu)}}),
            "; A cannot be made: REGDB_E_CLASSNOTREG; B cannot be made: "
            "HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)");
}

}  // namespace
}  // namespace korvane

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

}  // namespace
}  // namespace korvane

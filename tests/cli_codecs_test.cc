// korvane codecs on machines of every kind: which decoders each lists, in which order, with
// which library facts and what is broken, and the usage errors of the command.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/machine_builder.h"
#include "tests/pe_builder.h"
#include "tests/test_support.h"
#include "tests/wine_prefix_builder.h"

namespace korvane {
namespace {

using test::Cli;
using test::RunCommand;
using test::ShellQuote;

const std::string kSource = KORVANE_SOURCE_DIR;
const std::string kExample = kSource + "/examples/win98se";
const char kLegacy[] = "{083863F1-70DE-11D0-BD40-00A0C911CE86}";

// One item in a line: name, role and merit (DirectShow), the library's state, how many
// media types it takes, and each thing broken after a "!".
std::string Summary(const nlohmann::ordered_json& item) {
  std::string line = item["name"].get<std::string>();
  if (item.contains("role")) line += " " + item["role"].get<std::string>();
  if (!item["merit"].is_null()) {
    char merit[16];
    std::snprintf(merit, sizeof merit, " 0x%08X", item["merit"].get<unsigned>());
    line += merit;
  }
  if (item["found"].is_null()) {
    line += " no-library";
  } else {
    line += !item["found"].get<bool>()  ? " missing"
            : item["loads"].get<bool>() ? " loads"
                                        : " fails";
  }
  line += " in=" + std::to_string(item["inputs"].size());
  for (const auto& broken : item["broken"]) line += " !" + broken.get<std::string>();
  return line;
}

std::vector<std::string> Group(const nlohmann::ordered_json& doc, const char* name) {
  std::vector<std::string> lines;
  for (const auto& item : doc[name]) lines.push_back(Summary(item));
  return lines;
}

// A version 2 FilterData as hex text: an input pin for one media type and an output pin
// for any video, at merit.
std::string FilterDataHex(uint32_t merit, uint32_t subtypeFourCC) {
  std::vector<uint8_t> bytes;
  auto dword = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto fourcc = [&](uint32_t code) {  // XXXXXXXX-0000-0010-8000-00AA00389B71
    dword(code);
    for (uint8_t b : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) {
      bytes.push_back(b);
    }
  };
  for (uint32_t v : {2u, merit, 2u, 0u}) dword(v);
  for (uint32_t v : {0x33697030u, 0u, 1u, 1u, 0u, 0u, 0x33797430u, 0u, 96u, 112u}) dword(v);
  for (uint32_t v : {0x33697031u, 8u, 1u, 1u, 0u, 0u, 0x33797430u, 0u, 96u, 128u}) dword(v);
  fourcc(0x73646976);  // MEDIATYPE_Video at 96
  fourcc(subtypeFourCC);
  for (int i = 0; i < 16; ++i) bytes.push_back(0);  // GUID_NULL at 128
  return test::RegHex(bytes);
}

uint32_t Code(const char* four) {
  return static_cast<uint32_t>(four[0] | four[1] << 8 | four[2] << 16 | four[3] << 24);
}

std::string Dll(uint16_t machine) {
  test::PeSpec spec;
  spec.machine = machine;
  return test::BuildPe(spec);
}

// The XP-like machine as the disk differential describes it: the example's libraries in
// an NT system directory.
void FillXpLike(const test::MachineFolder& machine) {
  std::filesystem::create_directories(machine.path() + "/c/WINDOWS");
  std::filesystem::copy(kExample + "/c/WINDOWS/SYSTEM", machine.path() + "/c/WINDOWS/system32",
                        std::filesystem::copy_options::recursive);
  std::filesystem::copy(kExample + "/c/WINDOWS/SYSTEM.INI",
                        machine.path() + "/c/WINDOWS/system.ini");
  std::filesystem::copy(kSource + "/tests/disks/winxp-like.ini", machine.path() + "/machine.ini");
  std::filesystem::copy(kSource + "/tests/disks/winxp-like.reg", machine.path() + "/registry.reg",
                        std::filesystem::copy_options::overwrite_existing);
}

// A machine with Media Foundation: a transform that loads, one whose library is gone, a
// DMO whose InputTypes is not whole type pairs, and a byte-stream handler for .avi.
void FillWin7Like(test::MachineFolder* machine) {
  machine->MachineIni(
      "[machine]\nWindowsDirectory=C:\\Windows\nSystemDirectory=C:\\Windows\\system32\n"
      "Platform=2\nMajor=6\nMinor=1\nBuild=7601\n");
  machine->File("Windows/system32/msmpeg2vdec.dll", Dll(0x014C));
  machine->File("Windows/system32/baddmo.dll", Dll(0x014C));
  const std::string h264 = "36,34,32,48,00,00,10,00,80,00,00,aa,00,38,9b,71";  // MEDIASUBTYPE_H264
  const std::string video = "76,69,64,73,00,00,10,00,80,00,00,aa,00,38,9b,71";
  const std::string mft = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\MediaFoundation\\Transforms";
  const std::string vcat = "{D6C02D4B-6833-45B4-971A-05A4B04BAB91}";
  const std::string acat = "{9EA73FB4-EF7A-4559-8D5D-719D8F0426C7}";
  const std::string h264Mft = "{62CE7E72-4C71-4D20-B15D-452831A87D9D}";
  const std::string lostMft = "{11111111-2222-3333-4444-555555555555}";
  const std::string dmo = "{66666666-7777-8888-9999-AAAAAAAAAAAA}";
  machine->Registry(
      "[HKEY_CLASSES_ROOT\\CLSID\\" + h264Mft +
      "\\InprocServer32]\r\n@=\"msmpeg2vdec.dll\"\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\" +
      lostMft +
      "\\InprocServer32]\r\n"
      "@=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,6c,6f,73,74,2e,64,6c,6c,00\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\" +
      dmo +
      "\\InprocServer32]\r\n"
      "@=\"%SystemRoot%\\\\system32\\\\baddmo.dll\"\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\DirectShow\\MediaObjects\\" +
      dmo +
      "]\r\n@=\"Odd DMO\"\r\n"
      "\"InputTypes\"=hex:" +
      video + "," + h264 +
      ",01,02,03,04,05,06,07,08\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\DirectShow\\MediaObjects\\Categories\\"
      "{4A69B442-28BE-4991-969C-B500ADF5D8A8}\\" +
      dmo + "]\r\n\r\n" + "[" + mft + "\\" + h264Mft +
      "]\r\n@=\"Microsoft H264 Video Decoder MFT\"\r\n"
      "\"InputTypes\"=hex:" +
      video + "," + h264 + "\r\n\r\n" + "[" + mft + "\\" + lostMft +
      "]\r\n@=\"Lost Audio Decoder MFT\"\r\n\r\n" + "[" + mft + "\\Categories\\" + vcat + "\\" +
      h264Mft + "]\r\n\r\n" + "[" + mft + "\\Categories\\" + acat + "\\" + lostMft + "]\r\n\r\n" +
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Media Foundation\\ByteStreamHandlers\\"
      ".avi]\r\n\r\n");
}

// A 64-bit Wine prefix whose two views register different decoder filters; both servers
// name system32, which a 32-bit program finds in syswow64.
void FillTwoViewPrefix(test::WinePrefixFolder* prefix) {
  const std::string wide = "{AAAAAAAA-0000-0000-0000-000000000064}";
  const std::string narrow = "{AAAAAAAA-0000-0000-0000-000000000032}";
  auto filter = [](const std::string& classes, const std::string& clsid, const char* name,
                   uint32_t merit, const char* fourcc, const char* library) {
    return "[" + classes + "\\\\CLSID\\\\" + kLegacy + "\\\\Instance\\\\" + clsid +
           "] 1700000000\n\"CLSID\"=\"" + clsid + "\"\n\"FriendlyName\"=\"" + name +
           "\"\n\"FilterData\"=hex:" + FilterDataHex(merit, Code(fourcc)) + "\n[" + classes +
           "\\\\CLSID\\\\" + clsid +
           "\\\\InprocServer32] 1700000000\n@=\"C:\\\\windows\\\\system32\\\\" + library + "\"\n";
  };
  prefix->SystemReg(
      "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
      "\"CurrentBuildNumber\"=\"7601\"\n\"CurrentVersion\"=\"6.1\"\n" +
      filter("Software\\\\Classes", wide, "Wide Decoder", 0x600000, "WIDE", "wide.ax") +
      filter("Software\\\\Classes\\\\Wow6432Node", narrow, "Narrow Decoder", 0x800000, "NARW",
             "narrow.ax"));
  prefix->File("windows/system32/wide.ax", Dll(0x8664));
  prefix->File("windows/syswow64/narrow.ax", Dll(0x014C));
}

TEST(CliCodecs, EachMachineListsItsOwnDecodersAndWhatIsBroken) {
  test::MachineFolder xp;
  FillXpLike(xp);
  test::MachineFolder win7;
  FillWin7Like(&win7);
  test::WinePrefixFolder prefix;
  FillTwoViewPrefix(&prefix);
  const std::string quartz = "loads in=1";
  struct Case {
    std::string what;
    std::string args;
    std::vector<std::string> vfw, acm, directshow, dmo, mediafoundation;
    bool mediaFoundation, readsAvi;
  };
  const std::vector<Case> cases = {
      {"Windows 98 SE with DirectX 6.1",
       "--machine " + ShellQuote(kExample),
       {"vidc.cvid loads in=1", "vidc.iv50 loads in=1", "vidc.mrle loads in=1",
        "vidc.msvc loads in=1", "vidc.iv41 missing in=1 !library ir41_32.dll is missing",
        "vidc.divx fails in=1 !library divxc32.dll does not load: imports MSVCP60.DLL, which is "
        "not on this machine",
        "vidc.x264 fails in=1 !library x264vfw.dll does not load: built for x86-64, this machine "
        "runs i386 code"},
       {"msacm.imaadpcm loads in=0", "msacm.msadpcm loads in=0"},
       {"AVI Splitter splitter 0x00600000 loads in=1", "ACM Wrapper decoder 0x005FFFFF loads in=1",
        "AVI Decompressor decoder 0x005FFFFF loads in=1",
        "MPEG Layer-3 Decoder decoder 0x005FFFFF loads in=1",
        "File Source (Async.) source 0x00400000 loads in=0",
        "MPEG-4 Decoder Filter other loads in=0 !FilterData (100 bytes): pin 1 of 2: a major "
        "type at offset 128 lies outside the value"},
       {},
       {},
       false,
       false},
      {"XP-like with Windows Media DMOs and a codec pack half gone",
       "--machine " + ShellQuote(xp.path()),
       {"vidc.cvid loads in=1",
        "vidc.divx fails in=1 !library divxc32.dll does not load: imports "
        "MSVCP60.DLL, which is not on this machine",
        "vidc.iv41 missing in=1 !library ir41_32.dll is missing", "vidc.iv50 loads in=1",
        "vidc.mrle loads in=1", "vidc.msvc loads in=1",
        "vidc.x264 fails in=1 !library x264vfw.dll does not load: built for x86-64, this machine "
        "runs i386 code",
        "vidc.cvid loads in=1", "vidc.iv50 loads in=1", "vidc.mrle loads in=1",
        "vidc.msvc loads in=1", "vidc.iv41 missing in=1 !library ir41_32.dll is missing",
        "vidc.divx fails in=1 !library divxc32.dll does not load: imports MSVCP60.DLL, which is "
        "not on this machine",
        "vidc.x264 fails in=1 !library x264vfw.dll does not load: built for x86-64, this machine "
        "runs i386 code"},
       {"msacm.imaadpcm loads in=0", "msacm.msadpcm loads in=0", "msacm.imaadpcm loads in=0",
        "msacm.msadpcm loads in=0"},
       {"FourStar Audio Decoder decoder 0x00800001 no-library in=2 !CLSID "
        "{F0A1B2C3-4D5E-4F60-8172-93A4B5C6D7E9} has no InprocServer32",
        "FourStar Video Decoder decoder 0x00800001 missing in=4 !library C:\\Program "
        "Files\\FourStar Codec Pack\\fsvideo.ax is missing",
        "AVI Splitter splitter 0x00600000 loads in=1", "ACM Wrapper decoder 0x005FFFFF loads in=1",
        "AVI Decompressor decoder 0x005FFFFF loads in=1",
        "File Source (Async.) source 0x00400000 loads in=0"},
       {"WMAudio Decoder DMO loads in=2", "WMVideo Decoder DMO loads in=3"},
       {},
       false,
       false},
      {"Windows 7-like with Media Foundation",
       "--machine " + ShellQuote(win7.path()),
       {},
       {},
       {},
       {"Odd DMO loads in=1 !InputTypes is 40 bytes, not whole pairs of 32"},
       {"Lost Audio Decoder MFT missing in=0 !library %SystemRoot%\\lost.dll is missing",
        "Microsoft H264 Video Decoder MFT loads in=1"},
       true,
       true},
      {"a 64-bit Wine prefix as a 32-bit program sees it",
       "--machine " + ShellQuote(prefix.path()),
       {},
       {},
       {"Narrow Decoder decoder 0x00800000 loads in=1"},
       {},
       {},
       false,
       false},
      {"the same prefix as a 64-bit program sees it",
       "--machine " + ShellQuote(prefix.path()) + " --view 64",
       {},
       {},
       {"Wide Decoder decoder 0x00600000 loads in=1"},
       {},
       {},
       false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto r = RunCommand(Cli() + " codecs --json " + c.args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(r.out);
    EXPECT_EQ(Group(doc, "vfw"), c.vfw);
    EXPECT_EQ(Group(doc, "acm"), c.acm);
    EXPECT_EQ(Group(doc, "directshow"), c.directshow);
    EXPECT_EQ(Group(doc, "dmo"), c.dmo);
    EXPECT_EQ(Group(doc, "mediafoundation"), c.mediafoundation);
    EXPECT_EQ(doc["machine"]["hasMediaFoundation"], c.mediaFoundation);
    EXPECT_EQ(doc["machine"]["mediaFoundationReadsAvi"], c.readsAvi);
  }
}

// The fields of one item, as the JSON document gives them: GUIDs upper case with braces,
// the library as registered beside the file it resolves to.
TEST(CliCodecs, JsonItemsCarryEveryAgreedField) {
  const auto r = RunCommand(Cli() + " codecs --json --machine " + ShellQuote(kExample));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(r.out);
  std::vector<std::string> keys;
  for (const auto& item : doc.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"machine", "vfw", "acm", "directshow", "dmo",
                                            "mediafoundation"}));
  const nlohmann::ordered_json& layer3 = doc["directshow"][3];
  EXPECT_EQ(layer3["name"], "MPEG Layer-3 Decoder");
  EXPECT_EQ(layer3["clsid"], "{38BE3000-DBF4-11D0-860E-00A024CFEF6D}");
  EXPECT_EQ(layer3["merit"], 0x5FFFFF);
  EXPECT_EQ(layer3["library"], "C:\\WINDOWS\\SYSTEM\\l3codecx.ax");
  EXPECT_EQ(layer3["path"], "C:\\WINDOWS\\SYSTEM\\l3codecx.ax");
  EXPECT_EQ(layer3["inputs"], nlohmann::ordered_json::parse(
                                  R"([{"major": "{73647561-0000-0010-8000-00AA00389B71}",
                                       "subtype": "{00000055-0000-0010-8000-00AA00389B71}"}])"));
  EXPECT_EQ(layer3["where"], std::string("HKCR\\CLSID\\") + kLegacy +
                                 "\\Instance\\{38BE3000-DBF4-11D0-860E-00A024CFEF6D}");
  const nlohmann::ordered_json& splitter = doc["directshow"][0];
  EXPECT_EQ(splitter["library"], "quartz.dll");
  EXPECT_EQ(splitter["path"], "C:\\WINDOWS\\SYSTEM\\quartz.dll");
  const nlohmann::ordered_json& cinepak = doc["vfw"][0];
  EXPECT_TRUE(cinepak["clsid"].is_null());
  EXPECT_TRUE(cinepak["merit"].is_null());
  EXPECT_FALSE(cinepak.contains("role"));
  EXPECT_EQ(cinepak["inputs"][0]["subtype"], "{64697663-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(cinepak["where"], "system.ini [drivers32]");
}

// The lines for people say the same, and --explain adds why a library does not load.
TEST(CliCodecs, LinesNameEachGroupAndExplainAddsReasons) {
  const auto plain = RunCommand(Cli() + " codecs --machine " + ShellQuote(kExample));
  const auto explained = RunCommand(Cli() + " codecs --explain --machine " + ShellQuote(kExample));
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  ASSERT_EQ(explained.exitCode, 0) << explained.err;
  const std::vector<std::string> lines = test::SplitLines(plain.out);
  for (const std::string& line :
       {"machine: " + kExample + ", Windows 4.10 build 2222 (Win9x)",
        std::string("Video for Windows decoders (vidc.*): 7"),
        std::string("ACM drivers (msacm.*): 2"),
        std::string("DirectShow filters (decoders, and sources and splitters for AVI): 6"),
        std::string("  MPEG Layer-3 Decoder"),
        std::string("    {38BE3000-DBF4-11D0-860E-00A024CFEF6D}, decoder, merit 0x005FFFFF"),
        std::string("    library: C:\\WINDOWS\\SYSTEM\\l3codecx.ax, loads"),
        std::string("    takes: audio 0x0055"), std::string("    takes: stream AVI"),
        std::string("    library: quartz.dll (C:\\WINDOWS\\SYSTEM\\quartz.dll), loads"),
        std::string("DMOs (decoder categories): none"),
        std::string("Media Foundation: not on this machine")}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n"
                                                                        << plain.out;
  }
  EXPECT_EQ(plain.out.find("    reason: "), std::string::npos);
  EXPECT_NE(explained.out.find(
                "  vidc.divx\n    library: divxc32.dll (C:\\WINDOWS\\SYSTEM\\divxc32.dll), "
                "does not load\n    reason: imports MSVCP60.DLL"),
            std::string::npos)
      << explained.out;
}

TEST(CliCodecs, UsageErrors) {
  test::ScratchDir scratch;
  const std::string report = scratch.Write("report.txt", "");
  const auto saved =
      RunCommand(Cli() + " run --machine " + ShellQuote(kExample) + " -o " + ShellQuote(report));
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  const auto fromReport = RunCommand(Cli() + " codecs --machine " + ShellQuote(report));
  EXPECT_EQ(fromReport.exitCode, 2);
  EXPECT_EQ(fromReport.out, "");
  EXPECT_EQ(fromReport.err,
            "korvane codecs: " + report +
                " is a saved report, not a machine: a report does not hold the machine's "
                "DirectShow, DMO and Media Foundation registrations\n");
  test::ExpectUsageErrors({
      KORVANE_USAGE_ERROR("codecs --view 16",
                          "korvane codecs: --view takes 32 or 64, not '16' (see 'korvane "
                          "codecs --help')"),
      KORVANE_USAGE_ERROR("codecs --view 64 --machine " + ShellQuote(kExample),
                          "korvane codecs: --view applies to a Wine prefix; " + kExample +
                              " is not one (see 'korvane codecs --help')"),
      KORVANE_USAGE_ERROR("codecs extra",
                          "korvane codecs: unexpected argument 'extra' (see "
                          "'korvane codecs --help')"),
  });
}

}  // namespace
}  // namespace korvane

// Finding each stream's decoder among a machine's [drivers32] entries, and loading it.
#include "diag/decoder_check.h"

#include <gtest/gtest.h>

#include <set>

#include "avi/codec_names.h"
#include "avi/codec_table.h"
#include "tests/fake_system.h"
#include "tests/riff_builder.h"

namespace korvane {
namespace {

using test::FakeSystem;
using test::WalkedAudio;
using test::WalkedVideo;

AviStream VideoCode(uint32_t compression) {
  AviStream s = WalkedVideo("xxxx");
  s.compression = compression;
  return s;
}

class DecoderCheckTest : public ::testing::Test {
 protected:
  DecoderCheck Check(const AviStream& stream) {
    const InstalledDrivers drivers = ReadInstalledDrivers(machine);
    return CheckStreamDecoder(machine, drivers, stream);
  }
  // Every library that loaded was freed again, and every key closed.
  void TearDown() override {
    EXPECT_EQ(machine.registry.OpenHandleCount(), 0u);
    EXPECT_LE(machine.freedLibraries, machine.loadAttempts.size());
  }
  FakeSystem machine;
};

TEST_F(DecoderCheckTest, VideoDriverInSystemIniIsFoundWithoutRegardToCase) {
  machine.SetSystemIni(
      "[boot]\r\nshell=Explorer.exe\r\n[Drivers32]\r\n; comment\r\n\r\n"
      "VIDC.CVID = iccvid.dll  \r\nmsacm.msadpcm=msadp32.acm\r\n[mci]\r\nvidc.xvid=no.dll\r\n");
  machine.AddSystemLibrary("iccvid.dll");
  const DecoderCheck check = Check(WalkedVideo("cvid", "cvid"));
  EXPECT_EQ(check.code, "cvid");
  EXPECT_EQ(check.codecName, "Cinepak");
  EXPECT_TRUE(check.needsDecoder);
  EXPECT_TRUE(check.registered);
  EXPECT_EQ(check.registration.where, "system.ini [drivers32]");
  EXPECT_EQ(check.registration.name, "VIDC.CVID");
  EXPECT_EQ(check.registration.value, "iccvid.dll");
  EXPECT_EQ(check.libraryPath, "C:\\WINDOWS\\SYSTEM\\iccvid.dll");
  EXPECT_TRUE(check.loads);
  EXPECT_TRUE(check.ready());
  EXPECT_EQ(machine.freedLibraries, 1u);

  // An entry outside [drivers32] does not count.
  const DecoderCheck xvid = Check(WalkedVideo("XVID", "XVID"));
  EXPECT_FALSE(xvid.registered);
  EXPECT_FALSE(xvid.ready());
}

TEST_F(DecoderCheckTest, MissingDecoderSaysWhatToInstall) {
  machine.SetSystemIni("[drivers32]\r\nvidc.iv50=ir50_32.dll\r\n");
  const AviStream stream = WalkedVideo("cvid", "cvid");
  const DecoderCheck check = Check(stream);
  EXPECT_FALSE(check.registered);
  EXPECT_EQ(check.entryNames, std::vector<std::string>{"vidc.cvid"});
  EXPECT_TRUE(machine.loadAttempts.empty());
  EXPECT_EQ(
      InstallAdvice(check, stream),
      "install a Video for Windows decoder for Cinepak (cvid): vidc.cvid, usually iccvid.dll");

  const AviStream unknown = WalkedVideo("ABCD", "ABCD");
  EXPECT_EQ(InstallAdvice(Check(unknown), unknown),
            "install a Video for Windows decoder for FourCC ABCD: vidc.ABCD");
}

TEST_F(DecoderCheckTest, RegisteredButBrokenDecodersSayWhy) {
  machine.SetSystemIni("[drivers32]\r\nvidc.cvid=iccvid.dll\r\nvidc.iv50=ir50_32.dll\r\n");
  machine.AddBrokenLibrary("ir50_32.dll", "needs MSVCRT40.DLL, which is missing");
  const AviStream cinepak = WalkedVideo("cvid", "cvid");
  const DecoderCheck missing = Check(cinepak);
  EXPECT_TRUE(missing.registered);
  EXPECT_FALSE(missing.libraryFound);
  EXPECT_FALSE(missing.loads);
  EXPECT_EQ(missing.whyNot, "file not found");
  EXPECT_TRUE(machine.loadAttempts.empty());  // a file that is not there is not loaded
  EXPECT_EQ(InstallAdvice(missing, cinepak),
            "reinstall the decoder for Cinepak (cvid): vidc.cvid names "
            "C:\\WINDOWS\\SYSTEM\\iccvid.dll, file not found");

  const AviStream indeo = WalkedVideo("IV50", "IV50");
  const DecoderCheck broken = Check(indeo);
  EXPECT_TRUE(broken.libraryFound);
  EXPECT_FALSE(broken.loads);
  EXPECT_EQ(broken.whyNot, "needs MSVCRT40.DLL, which is missing");
  EXPECT_EQ(InstallAdvice(broken, indeo),
            "repair the decoder for Intel Indeo 5.0 (IV50): C:\\WINDOWS\\SYSTEM\\ir50_32.dll "
            "does not load (needs MSVCRT40.DLL, which is missing)");
  EXPECT_EQ(machine.freedLibraries, 0u);
}

TEST_F(DecoderCheckTest, PathsFollowTheDriverLoadingRule) {
  EXPECT_EQ(DriverLibraryPath("x.dll", "C:\\W\\S\\"), "C:\\W\\S\\x.dll");
  EXPECT_EQ(DriverLibraryPath("D:x.dll", "C:\\W\\S\\"), "D:x.dll");
  EXPECT_EQ(DriverLibraryPath("sub\\x.dll", "C:\\W\\S\\"), "sub\\x.dll");
  EXPECT_EQ(DriverLibraryPath("", "C:\\W\\S\\"), "C:\\W\\S\\");

  machine.systemDirectory = "C:\\";  // a root: no second backslash
  machine.SetSystemIni(
      "[drivers32]\r\nvidc.XVID=D:\\Codecs\\xvidvfw.dll\r\nvidc.HFYU=huffyuv.dll\r\n"
      "vidc.MJPG=*.dll\r\nvidc.DIVX=\r\n");
  machine.AddLibrary("D:\\Codecs\\xvidvfw.dll");
  machine.AddLibrary("C:\\huffyuv.dll");
  EXPECT_EQ(Check(WalkedVideo("XVID", "xvid")).libraryPath, "D:\\Codecs\\xvidvfw.dll");
  EXPECT_TRUE(Check(WalkedVideo("XVID", "xvid")).loads);
  EXPECT_EQ(Check(WalkedVideo("HFYU", "HFYU")).libraryPath, "C:\\huffyuv.dll");
  const DecoderCheck wildcard = Check(WalkedVideo("MJPG", "MJPG"));
  EXPECT_TRUE(wildcard.registered);
  EXPECT_EQ(wildcard.whyNot, "the entry names no single file");
  EXPECT_EQ(Check(WalkedVideo("DIVX", "DIVX")).whyNot, "the entry names no file");
}

TEST_F(DecoderCheckTest, NtLooksInTheRegistryFirst) {
  machine.version.platformId = kPlatformWinNt;
  machine.systemDirectory = "C:\\WINNT\\system32";
  machine.windowsDirectory = "C:\\WINNT";
  machine.SetSystemIni("[drivers32]\r\nvidc.cvid=old.dll\r\n");
  machine.AddRegistryDriver("vidc.CVID", "iccvid.dll");
  machine.AddSystemLibrary("iccvid.dll");
  machine.AddSystemLibrary("old.dll");
  const DecoderCheck check = Check(WalkedVideo("cvid", "cvid"));
  EXPECT_EQ(check.registration.where, kDrivers32KeyName);
  EXPECT_EQ(check.libraryPath, "C:\\WINNT\\system32\\iccvid.dll");

  // On 9x system.ini comes first.
  machine.version.platformId = kPlatformWin9x;
  EXPECT_EQ(Check(WalkedVideo("cvid", "cvid")).registration.where, kDrivers32Section);
}

TEST_F(DecoderCheckTest, ALaterEntryThatLoadsWinsOverABrokenFirstOne) {
  machine.version.platformId = kPlatformWinNt;
  machine.AddRegistryDriver("vidc.cvid", "gone.dll");
  machine.SetSystemIni("[drivers32]\r\nvidc.cvid=iccvid.dll\r\n");
  machine.AddSystemLibrary("iccvid.dll");
  const DecoderCheck check = Check(WalkedVideo("cvid", "cvid"));
  EXPECT_TRUE(check.loads);
  EXPECT_EQ(check.registration.value, "iccvid.dll");
  EXPECT_EQ(check.registration.where, kDrivers32Section);
}

TEST_F(DecoderCheckTest, VideoEntriesTriedFromTableFourCCAndHandler) {
  // Microsoft Video 1 is registered once, as MSVC, and decodes CRAM too.
  EXPECT_EQ(Check(WalkedVideo("CRAM", "CRAM")).entryNames,
            (std::vector<std::string>{"vidc.msvc", "vidc.CRAM"}));
  // The handler is a second guess, as Video for Windows tries it as well.
  EXPECT_EQ(Check(WalkedVideo("DX50", "divx")).entryNames,
            (std::vector<std::string>{"vidc.DX50", "vidc.divx"}));
  EXPECT_EQ(Check(WalkedVideo("XVID", "xvid")).entryNames, std::vector<std::string>{"vidc.XVID"});
  EXPECT_EQ(Check(VideoCode(1)).entryNames, std::vector<std::string>{"vidc.mrle"});
  EXPECT_EQ(Check(VideoCode(1)).code, "BI_RLE8");
  AviStream garbage = VideoCode(0x01020304);
  EXPECT_TRUE(Check(garbage).entryNames.empty());

  machine.SetSystemIni("[drivers32]\r\nvidc.DIVX=divx.dll\r\n");
  machine.AddSystemLibrary("divx.dll");
  const DecoderCheck viaHandler = Check(WalkedVideo("DX50", "divx"));
  EXPECT_TRUE(viaHandler.loads);
  EXPECT_EQ(viaHandler.registration.name, "vidc.DIVX");
}

TEST_F(DecoderCheckTest, BuiltInFormatsNeedNothing) {
  for (const AviStream& stream :
       {VideoCode(0), VideoCode(3), WalkedAudio(0x0001), WalkedAudio(0x0003)}) {
    const DecoderCheck check = Check(stream);
    EXPECT_FALSE(check.needsDecoder) << check.code;
    EXPECT_TRUE(check.ready()) << check.code;
  }
  AviStream text;
  text.type = 0x73747874;  // 'txts'
  text.hasHeader = text.hasFormat = true;
  EXPECT_TRUE(Check(text).ready());
  EXPECT_EQ(StreamKindText(text), "text");
  EXPECT_TRUE(machine.loadAttempts.empty());
}

TEST_F(DecoderCheckTest, AudioDriversByUsualNameOrUsualFile) {
  machine.SetSystemIni(
      "[drivers32]\r\nmsacm.msadpcm=msadp32.acm\r\nmsacm.l3codec=l3codecp.acm\r\n"
      "msacm.mygsm=C:\\ACM\\MSGSM32.ACM\r\nvidc.msgsm=msg711.acm\r\n");
  machine.AddSystemLibrary("msadp32.acm");
  machine.AddSystemLibrary("l3codecp.acm");
  machine.AddLibrary("C:\\ACM\\MSGSM32.ACM");
  machine.AddSystemLibrary("msg711.acm");

  const DecoderCheck adpcm = Check(WalkedAudio(0x0002));
  EXPECT_EQ(adpcm.code, "0x0002");
  EXPECT_EQ(adpcm.codecName, "Microsoft ADPCM");
  EXPECT_TRUE(adpcm.loads);
  const DecoderCheck mp3 = Check(WalkedAudio(0x0055));
  EXPECT_EQ(mp3.registration.name, "msacm.l3codec");
  EXPECT_TRUE(mp3.loads);
  const DecoderCheck gsm = Check(WalkedAudio(0x0031));  // under another name, by its file
  EXPECT_EQ(gsm.registration.name, "msacm.mygsm");
  EXPECT_TRUE(gsm.loads);
  // A file name match counts only for ACM entries.
  const DecoderCheck alaw = Check(WalkedAudio(0x0006));
  EXPECT_FALSE(alaw.registered);
  EXPECT_EQ(InstallAdvice(alaw, WalkedAudio(0x0006)),
            "install an ACM decoder for G.711 A-law (0x0006): msacm.msg711, usually msg711.acm");
}

TEST_F(DecoderCheckTest, AudioWithoutAUsualDriverIsNeverReady) {
  machine.SetSystemIni("[drivers32]\r\nmsacm.msadpcm=msadp32.acm\r\n");
  machine.AddSystemLibrary("msadp32.acm");
  const DecoderCheck aac = Check(WalkedAudio(0x00FF));
  EXPECT_TRUE(aac.needsDecoder);
  EXPECT_TRUE(aac.entryNames.empty());
  EXPECT_FALSE(aac.ready());
  EXPECT_EQ(InstallAdvice(aac, WalkedAudio(0x00FF)), "install an ACM decoder for AAC (0x00FF)");
  EXPECT_EQ(InstallAdvice(Check(WalkedAudio(0x1234)), WalkedAudio(0x1234)),
            "install an ACM decoder for format tag 0x1234");
}

TEST_F(DecoderCheckTest, ExtensibleAudioIsJudgedByItsSubFormat) {
  AviStream pcm = WalkedAudio(kWaveFormatExtensible);
  pcm.subFormatIsTag = true;
  pcm.subFormatTag = 0x0001;
  EXPECT_TRUE(Check(pcm).ready());
  AviStream adpcm = pcm;
  adpcm.subFormatTag = 0x0002;
  EXPECT_EQ(Check(adpcm).entryNames, std::vector<std::string>{"msacm.msadpcm"});
  AviStream odd = pcm;
  odd.subFormatIsTag = false;
  EXPECT_EQ(Check(odd).code, "0xFFFE");
  EXPECT_FALSE(Check(odd).ready());
}

TEST_F(DecoderCheckTest, StreamWithoutFormatCannotBeJudged) {
  AviStream stream = WalkedVideo("cvid", "cvid");
  stream.hasFormat = false;
  const DecoderCheck check = Check(stream);
  EXPECT_FALSE(check.needsDecoder);
  EXPECT_EQ(check.codecName, "no format");
}

TEST_F(DecoderCheckTest, InstalledDriversComeFromBothPlacesAndNoteWhatIsMissing) {
  // Windows 9x keeps its drivers in system.ini: a missing key is not worth a note there.
  const InstalledDrivers none = ReadInstalledDrivers(machine);
  EXPECT_TRUE(none.entries.empty());
  EXPECT_EQ(none.notes, std::vector<std::string>{"can't open C:\\WINDOWS\\system.ini"});
  EXPECT_EQ(none.systemDirPrefix, "C:\\WINDOWS\\SYSTEM\\");
  machine.version.platformId = kPlatformWinNt;
  EXPECT_EQ(ReadInstalledDrivers(machine).notes,
            (std::vector<std::string>{std::string(kDrivers32KeyName) + " - can't open key",
                                      "can't open C:\\WINDOWS\\system.ini"}));
  machine.version.platformId = kPlatformWin9x;

  machine.SetSystemIni("[drivers32]\r\nwavemapper=msacm32.drv\r\nno equals sign\r\n");
  machine.AddRegistryDriver("vidc.a", "a.dll");
  machine.AddRegistryDriver("vidc.long", std::string(600, 'x'));  // skipped, not the end
  machine.AddRegistryDriver("vidc.b", "b.dll");
  const InstalledDrivers both = ReadInstalledDrivers(machine);
  ASSERT_EQ(both.entries.size(), 3u);
  EXPECT_EQ(both.entries[0].name, "wavemapper");
  EXPECT_EQ(both.entries[1].name, "vidc.a");
  EXPECT_EQ(both.entries[2].name, "vidc.b");
  ASSERT_EQ(both.notes.size(), 1u);
  EXPECT_NE(both.notes[0].find("value 1 is too long"), std::string::npos);
}

TEST(CodecTableTest, EveryEntryIsWellFormed) {
  std::set<uint32_t> seen;
  const CodecTable video = VideoCodecTable();
  for (int i = 0; i < video.count; ++i) {
    const CodecInfo& e = video.entries[i];
    EXPECT_TRUE(seen.insert(e.code).second) << e.name;
    EXPECT_EQ(FindVideoCodec(e.code), &e) << e.name;
    const std::string driver = e.driver;
    EXPECT_TRUE(e.driver == kBuiltIn || driver.empty() || driver.rfind("vidc.", 0) == 0) << e.name;
  }
  seen.clear();
  const CodecTable audio = AudioCodecTable();
  for (int i = 0; i < audio.count; ++i) {
    const CodecInfo& e = audio.entries[i];
    EXPECT_TRUE(seen.insert(e.code).second) << e.name;
    EXPECT_EQ(FindAudioCodec(static_cast<uint16_t>(e.code)), &e) << e.name;
    if (e.driver == kBuiltIn) continue;
    // Each ACM entry name comes with its usual file, and the other way round.
    const std::string driver = e.driver;
    EXPECT_EQ(driver.empty(), std::string(e.files).empty()) << e.name;
    EXPECT_TRUE(driver.empty() || driver.rfind("msacm.", 0) == 0) << e.name;
  }
}

TEST(CodecTableTest, KnowsEveryCodeOfTheDumpTableAndTheCommonOnes) {
  // The dump's table spells its codes in upper and lower case; both are found here.
  for (const char* code :
       {"IV31", "iv31", "IV32", "IV41", "iv50", "CVID", "cvid", "MJPG", "dmb1", "DMB1", "MP41",
        "mp42", "MP43", "DIV3", "div4", "ASV1", "EQK0", "vdom"}) {
    const uint32_t fourcc = FourCC(code);
    ASSERT_STRNE(CodecName(fourcc), "unknown") << code;
    EXPECT_NE(FindVideoCodec(fourcc), nullptr) << code;
  }
  for (const char* code :
       {"XVID", "DIVX", "DX50", "FMP4", "3IV2", "IV50", "AVRn", "dvsd", "dv25", "dvhd", "HFYU",
        "CRAM", "MSVC", "WHAM", "mrle", "H264", "X264", "AVC1", "Cvid"}) {
    EXPECT_NE(FindVideoCodec(FourCC(code)), nullptr) << code;
  }
  for (uint16_t tag : {0x0001, 0x0002, 0x0003, 0x0011, 0x0031, 0x0050, 0x0055, 0x00FF, 0x2000,
                       0x2001, 0x0161, 0x674F, 0xFFFE}) {
    EXPECT_NE(FindAudioCodec(tag), nullptr) << tag;
  }
  EXPECT_EQ(FindVideoCodec(FourCC("QQQQ")), nullptr);
  EXPECT_EQ(FindVideoCodec(7), nullptr);  // not a FourCC, and not a known constant
  EXPECT_EQ(FindAudioCodec(0x1234), nullptr);
}

// Codes met in real files, and a spread of what FFmpeg's AVI reader and mmreg.h know: each
// is named by its codec, through the whole check, in the case the file spells it.
TEST_F(DecoderCheckTest, CodesThatCommonToolsKnowAreNamed) {
  const struct {
    uint32_t fourcc;
    const char* name;
  } kVideo[] = {
      {FourCC("VCR2"), "MPEG-1 video"},
      {FourCC("VMnc"), "VMware Screen Codec"},
      {FourCC("CFHD"), "GoPro CineForm HD"},
      {FourCC("PNG1"), "PNG"},
      {FourCC("MPNG"), "PNG"},
      {FourCC("SMV2"), "H.264"},
      {FourCC("IJPG"), "Motion JPEG"},
      {FourCC("VP90"), "VP9"},
      {FourCC("VP80"), "VP8"},
      {FourCC("vp80"), "VP8"},  // letter case as FFmpeg ignores it
      {FourCC("H263"), "H.263"},
      {FourCC("I263"), "Intel H.263"},
      {FourCC("M4CC"), "MPEG-4 video (Divio)"},
      {FourCC("DVX3"), "MS MPEG-4 v3"},
      {FourCC("CDVH"), "DV (Canopus)"},
      {FourCC("dvh1"), "DV"},
      {FourCC("NV12"), "uncompressed video (NV12)"},
      {FourCC("Y8  "), "uncompressed video (Y8)"},
      {FourCC("v210"), "uncompressed 10-bit YUV 4:2:2"},
      {FourCC("UYVY"), "YUV 4:2:2 (UYVY)"},  // the older entry stands
      {FourCC("tscc"), "TechSmith Screen Capture"},
      {FourCC("TSC2"), "TechSmith Screen Codec 2"},
      {FourCC("MAGY"), "MagicYUV"},
      {FourCC("ULRG"), "Ut Video"},
      {FourCC("AV01"), "AV1"},
      {FourCC("HEVC"), "H.265 (HEVC)"},
      {FourCC("theo"), "Theora"},
      {FourCC("SVQ3"), "Sorenson Video 3"},
      {FourCC("WMVA"), "Windows Media Video 9 Advanced Profile (VC-1)"},
      {FourCC("KMVC"), "Karl Morton's video codec"},
      {FourCC("LEAD"), "LEAD MCMP"},
      {0x00000004, "MPEG-4 video"},
      {0x10000002, "MPEG-2 video"},
  };
  for (const auto& c : kVideo) {
    const DecoderCheck check = Check(VideoCode(c.fourcc));
    EXPECT_EQ(check.codecName, c.name) << FourCCText(c.fourcc);
    EXPECT_TRUE(check.needsDecoder) << FourCCText(c.fourcc);
  }
  const struct {
    uint16_t tag;
    const char* name;
  } kAudio[] = {
      {0x0061, "Duck DK4 IMA ADPCM, or ESS ESPCM"},
      {0x0062, "Duck DK3 IMA ADPCM, or Voxware"},
      {0x0069, "Xbox IMA ADPCM, or Voxware byte aligned"},
      {0x0010, "OKI ADPCM"},
      {0x0020, "Yamaha ADPCM"},
      {0x0038, "Natural MicroSystems VBX ADPCM, or AMR narrowband"},
      {0x0045, "Sharp G.726"},
      {0x0075, "Voxware RT29 (MetaSound)"},
      {0x0083, "AT&T G.729A"},
      {0x0135, "Sipro ACELP.KELVIN"},
      {0x0165, "Xbox Media Audio 1"},
      {0x0215, "Ulead DV audio"},
      {0x0270, "Sony ATRAC3 (SCX)"},
      {0x028F, "G.722 ADPCM"},
      {0x1602, "AAC in LATM/LOAS"},
      {0x5346, "Shockwave Flash ADPCM"},
      {0x566F, "Vorbis"},
      {0x6C61, "Apple Lossless (ALAC)"},
      {0x704F, "Opus"},
      {0xA109, "Speex"},
      {0xA106, "MPEG-4 AAC"},
      {0xAC40, "Dolby AC-4"},
  };
  for (const auto& c : kAudio) {
    EXPECT_EQ(Check(WalkedAudio(c.tag)).codecName, c.name) << c.tag;
    // The same tag carried by an extensible format's sub-format GUID.
    AviStream extensible = WalkedAudio(kWaveFormatExtensible);
    extensible.subFormatIsTag = true;
    extensible.subFormatTag = c.tag;
    EXPECT_EQ(Check(extensible).codecName, c.name) << c.tag;
  }
  // The dump's own table keeps its short list.
  EXPECT_STREQ(CodecName(FourCC("VP90")), "unknown");
  EXPECT_STREQ(CodecName(FourCC("cvid")), "Cinepak by Radius");
}

}  // namespace
}  // namespace korvane

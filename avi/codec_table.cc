// The codec tables as data: one entry a line, video by FourCC, audio by format tag.
#include "avi/codec_table.h"

namespace korvane {

const char kBuiltIn[] = "built in";

namespace {

// Video for Windows opens "vidc." and the FourCC; an entry names another driver only
// where one driver is registered under one code and decodes several.
const CodecInfo kVideoCodecs[] = {
    // Uncompressed and palette RLE: BITMAPINFOHEADER compression values, not FourCCs.
    {0, "uncompressed RGB", kBuiltIn, ""},
    {1, "8-bit RLE", "vidc.mrle", "msrle32.dll"},
    {2, "4-bit RLE", "vidc.mrle", "msrle32.dll"},
    {3, "uncompressed RGB with bit masks", kBuiltIn, ""},
    {FourCC("mrle"), "Microsoft RLE", "vidc.mrle", "msrle32.dll"},
    {FourCC("RGB "), "uncompressed RGB", kBuiltIn, ""},
    {FourCC("DIB "), "uncompressed RGB", kBuiltIn, ""},
    // Packed and planar YUV.
    {FourCC("YUY2"), "YUV 4:2:2 (YUY2)", "", "msyuv.dll"},
    {FourCC("UYVY"), "YUV 4:2:2 (UYVY)", "", "msyuv.dll"},
    {FourCC("YVYU"), "YUV 4:2:2 (YVYU)", "", "msyuv.dll"},
    {FourCC("IYUV"), "YUV 4:2:0 (IYUV)", "", "iyuv_32.dll"},
    {FourCC("I420"), "YUV 4:2:0 (I420)", "", "iyuv_32.dll"},
    {FourCC("YV12"), "YUV 4:2:0 (YV12)", "", ""},
    {FourCC("Y800"), "8-bit greyscale (Y800)", "", ""},
    {FourCC("YVU9"), "YUV 9 (YVU9)", "", "tsbyuv.dll"},
    // Intel Indeo.
    {FourCC("RT21"), "Intel Indeo 2.1", "", "ir21_32.dll"},
    {FourCC("IV31"), "Intel Indeo 3.1", "", "ir32_32.dll"},
    {FourCC("IV32"), "Intel Indeo 3.2", "", "ir32_32.dll"},
    {FourCC("IV41"), "Intel Indeo 4.1", "", "ir41_32.ax ir41_32.dll"},
    {FourCC("IV50"), "Intel Indeo 5.0", "", "ir50_32.dll"},
    // Cinepak.
    {FourCC("cvid"), "Cinepak", "", "iccvid.dll"},
    // Microsoft Video 1: one driver, registered as MSVC, also decodes the older codes.
    {FourCC("MSVC"), "Microsoft Video 1", "vidc.msvc", "msvidc32.dll"},
    {FourCC("CRAM"), "Microsoft Video 1", "vidc.msvc", "msvidc32.dll"},
    {FourCC("WHAM"), "Microsoft Video 1", "vidc.msvc", "msvidc32.dll"},
    // Motion JPEG.
    {FourCC("MJPG"), "Motion JPEG", "", ""},
    {FourCC("AVRn"), "Avid Motion JPEG", "", ""},
    {FourCC("AVDJ"), "Avid Motion JPEG", "", ""},
    {FourCC("dmb1"), "Matrox Motion JPEG", "", ""},
    {FourCC("MJPA"), "Motion JPEG format A", "", ""},
    {FourCC("LJPG"), "lossless JPEG", "", ""},
    // Microsoft MPEG-4 v1 to v3 and the DivX ;-) 3.11 hack of v3.
    {FourCC("MPG4"), "MS MPEG-4 v1", "", "mpg4c32.dll"},
    {FourCC("MP41"), "MS MPEG-4 v1", "", "mpg4c32.dll"},
    {FourCC("MP42"), "MS MPEG-4 v2", "", "mpg4c32.dll"},
    {FourCC("DIV2"), "MS MPEG-4 v2 (DivX)", "", ""},
    {FourCC("MP43"), "MS MPEG-4 v3", "", "mpg4c32.dll"},
    {FourCC("MPG3"), "MS MPEG-4 v3", "", ""},
    {FourCC("DIV3"), "DivX ;-) 3 (MS MPEG-4 v3)", "", "divxc32.dll"},
    {FourCC("DIV4"), "DivX ;-) 3 fast motion (MS MPEG-4 v3)", "", "divxc32f.dll"},
    {FourCC("DIV5"), "DivX ;-) 3 (MS MPEG-4 v3)", "", ""},
    {FourCC("DIV6"), "DivX ;-) 3 (MS MPEG-4 v3)", "", ""},
    {FourCC("AP41"), "AngelPotion (MS MPEG-4 v3)", "", ""},
    {FourCC("COL1"), "MS MPEG-4 v3 variant", "", ""},
    // MPEG-4 part 2 (ASP) and its many tags.
    {FourCC("XVID"), "Xvid MPEG-4", "", "xvidvfw.dll"},
    {FourCC("XVIX"), "Xvid MPEG-4 (XVIX)", "", ""},
    {FourCC("DIVX"), "DivX 4 MPEG-4", "", "divx.dll"},
    {FourCC("DX50"), "DivX 5 MPEG-4", "", "divx.dll"},
    {FourCC("FMP4"), "FFmpeg MPEG-4", "", ""},
    {FourCC("3IV1"), "3ivx MPEG-4", "", ""},
    {FourCC("3IV2"), "3ivx MPEG-4", "", ""},
    {FourCC("MP4S"), "MS ISO MPEG-4 v1", "", ""},
    {FourCC("M4S2"), "MS ISO MPEG-4 v1.1", "", ""},
    {FourCC("MP4V"), "MPEG-4 video", "", ""},
    {FourCC("DIVF"), "DivX MPEG-4", "", ""},
    {FourCC("BLZ0"), "DivX MPEG-4 (Blizzard)", "", ""},
    {FourCC("RMP4"), "REALmagic MPEG-4", "", ""},
    {FourCC("SEDG"), "Samsung MPEG-4", "", ""},
    {FourCC("UMP4"), "UB Video MPEG-4", "", ""},
    // H.264 in AVI.
    {FourCC("H264"), "H.264", "", ""},
    {FourCC("X264"), "H.264 (x264)", "", "x264vfw.dll"},
    {FourCC("AVC1"), "H.264", "", ""},
    {FourCC("DAVC"), "H.264 (Dicas)", "", ""},
    {FourCC("VSSH"), "H.264 (Vanguard)", "", ""},
    // DV.
    {FourCC("dvsd"), "DV (standard definition)", "", ""},
    {FourCC("dvsl"), "DV (long play)", "", ""},
    {FourCC("dvhd"), "DV (high definition)", "", ""},
    {FourCC("dv25"), "DVCPRO 25", "", ""},
    {FourCC("dv50"), "DVCPRO 50", "", ""},
    {FourCC("dvc "), "DV (NTSC, Apple)", "", ""},
    {FourCC("CDVC"), "Canopus DV", "", ""},
    // Lossless and screen codecs.
    {FourCC("HFYU"), "Huffyuv", "", "huffyuv.dll"},
    {FourCC("FFVH"), "Huffyuv (FFmpeg variant)", "", ""},
    {FourCC("FFV1"), "FFV1", "", ""},
    {FourCC("LAGS"), "Lagarith", "", "lagarith.dll"},
    {FourCC("ZMBV"), "DOSBox Capture (ZMBV)", "", "zmbv.dll"},
    {FourCC("TSCC"), "TechSmith Screen Capture", "", "tsccvid.dll"},
    {FourCC("CSCD"), "CamStudio", "", ""},
    {FourCC("FPS1"), "Fraps", "", "frapsvid.dll"},
    {FourCC("MSZH"), "LCL MSZH", "", ""},
    {FourCC("ZLIB"), "LCL ZLIB", "", ""},
    {FourCC("MSS1"), "Windows Media Screen 7", "", ""},
    {FourCC("MSS2"), "Windows Media Screen 9", "", ""},
    // Others met in AVI files.
    {FourCC("ASV1"), "ASUS V1", "", ""},
    {FourCC("ASV2"), "ASUS V2", "", ""},
    {FourCC("VP30"), "On2 VP3", "", ""},
    {FourCC("VP31"), "On2 VP3.1", "", ""},
    {FourCC("VP50"), "On2 VP5", "", ""},
    {FourCC("VP60"), "On2 VP6", "", ""},
    {FourCC("VP61"), "On2 VP6.1", "", ""},
    {FourCC("VP62"), "On2 VP6.2", "", ""},
    {FourCC("WMV1"), "Windows Media Video 7", "", ""},
    {FourCC("WMV2"), "Windows Media Video 8", "", ""},
    {FourCC("WMV3"), "Windows Media Video 9", "", "wmv9vcm.dll"},
    {FourCC("WVC1"), "Windows Media Video 9 Advanced Profile", "", ""},
    {FourCC("mpg1"), "MPEG-1 video", "", ""},
    {FourCC("mpg2"), "MPEG-2 video", "", ""},
    {FourCC("MPEG"), "MPEG video", "", ""},
    {FourCC("SNOW"), "Snow", "", ""},
    {FourCC("FLV1"), "Sorenson Spark", "", ""},
    {FourCC("QPEG"), "Q-team QPEG", "", ""},
    {FourCC("ULTI"), "IBM Ultimotion", "", ""},
    {FourCC("AASC"), "Autodesk Animator", "", ""},
    {FourCC("VCR1"), "ATI VCR 1", "", ""},
    {FourCC("EQK0"), "ELSA quick codec", "", ""},
    {FourCC("VDOM"), "VDOnet VDOwave", "", ""},
};

// ACM drivers are found by asking each installed one; the entry names are those the
// usual driver is installed under in [drivers32].
const CodecInfo kAudioCodecs[] = {
    {0x0001, "PCM", kBuiltIn, ""},
    {0x0002, "Microsoft ADPCM", "msacm.msadpcm", "msadp32.acm"},
    {0x0003, "IEEE float PCM", kBuiltIn, ""},  // played by the wave driver, no ACM
    {0x0006, "G.711 A-law", "msacm.msg711", "msg711.acm"},
    {0x0007, "G.711 mu-law", "msacm.msg711", "msg711.acm"},
    {0x000A, "Windows Media Audio Voice", "", ""},
    {0x0011, "IMA ADPCM", "msacm.imaadpcm", "imaadp32.acm"},
    {0x0022, "DSP Group TrueSpeech", "msacm.trspch", "tssoft32.acm"},
    {0x0031, "GSM 6.10", "msacm.msgsm610", "msgsm32.acm"},
    {0x0032, "MSN Audio", "msacm.msnaudio", "msnaudio.acm"},
    {0x0042, "Microsoft G.723.1", "msacm.msg723", "msg723.acm"},
    {0x0050, "MPEG-1 layer 1 or 2", "", ""},
    {0x0055, "MP3", "msacm.l3acm msacm.l3codec msacm.lameacm",
     "l3codeca.acm l3codecp.acm lameacm.acm"},
    {0x0092, "Dolby AC-3 over S/PDIF", "", ""},
    {0x00FF, "AAC", "", ""},
    {0x0130, "Sipro ACELP.net", "msacm.sl_anet", "sl_anet.acm"},
    {0x0160, "Windows Media Audio 1", "msacm.msaudio1", "msaud32.acm"},
    {0x0161, "Windows Media Audio 2", "msacm.msaudio1", "msaud32.acm"},
    {0x0162, "Windows Media Audio 9 Professional", "", ""},
    {0x0163, "Windows Media Audio 9 Lossless", "", ""},
    {0x0200, "Creative ADPCM", "", ""},
    {0x0401, "Intel Music Coder", "", ""},
    {0x0402, "Indeo audio", "msacm.iac2", "iac25_32.ax"},
    {0x1101, "Lernout & Hauspie CELP", "msacm.lhacm", "lhacm.acm"},
    {0x1102, "Lernout & Hauspie SBC", "msacm.lhacm", "lhacm.acm"},
    {0x1103, "Lernout & Hauspie SBC", "msacm.lhacm", "lhacm.acm"},
    {0x1104, "Lernout & Hauspie SBC", "msacm.lhacm", "lhacm.acm"},
    {0x1600, "AAC in ADTS", "", ""},
    {0x2000, "Dolby AC-3", "msacm.ac3acm", "ac3acm.acm"},
    {0x2001, "DTS", "", ""},
    // Ogg Vorbis in its three ACM modes, each with a "plus" twin.
    {0x674F, "Vorbis (mode 1)", "msacm.vorbis", "vorbis.acm"},
    {0x6750, "Vorbis (mode 2)", "msacm.vorbis", "vorbis.acm"},
    {0x6751, "Vorbis (mode 3)", "msacm.vorbis", "vorbis.acm"},
    {0x676F, "Vorbis (mode 1+)", "msacm.vorbis", "vorbis.acm"},
    {0x6770, "Vorbis (mode 2+)", "msacm.vorbis", "vorbis.acm"},
    {0x6771, "Vorbis (mode 3+)", "msacm.vorbis", "vorbis.acm"},
    {0x706D, "AAC (FAAD)", "", ""},
    {0xF1AC, "FLAC", "", ""},
    // Only a wrapper: the sub-format decides, and is looked up instead when it is a tag.
    {0xFFFE, "extensible format (WAVE_FORMAT_EXTENSIBLE)", "", ""},
};

char AsciiLowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

uint32_t LowerFourCC(uint32_t fourcc) {
  uint32_t lower = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const char c = AsciiLowerChar(static_cast<char>(fourcc >> shift));
    lower |= static_cast<uint32_t>(static_cast<unsigned char>(c)) << shift;
  }
  return lower;
}

}  // namespace

const CodecInfo* FindVideoCodec(uint32_t fourcc) {
  for (const CodecInfo& entry : kVideoCodecs) {
    if (entry.code == fourcc) return &entry;
  }
  // Below 4 the values are compression constants, not letters.
  if (fourcc < 0x100) return nullptr;
  for (const CodecInfo& entry : kVideoCodecs) {
    if (entry.code >= 0x100 && LowerFourCC(entry.code) == LowerFourCC(fourcc)) return &entry;
  }
  return nullptr;
}

const CodecInfo* FindAudioCodec(uint16_t formatTag) {
  for (const CodecInfo& entry : kAudioCodecs) {
    if (entry.code == formatTag) return &entry;
  }
  return nullptr;
}

CodecTable VideoCodecTable() {
  return {kVideoCodecs, static_cast<int>(sizeof kVideoCodecs / sizeof kVideoCodecs[0])};
}

CodecTable AudioCodecTable() {
  return {kAudioCodecs, static_cast<int>(sizeof kAudioCodecs / sizeof kAudioCodecs[0])};
}

}  // namespace korvane

// The Video for Windows trial: this machine's own AVIFile reads the start of one stream and
// its Video for Windows decompressor or ACM driver decodes it, in the calling process.
#include <windows.h>
// The multimedia headers need the Windows types first.
#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/format.h"
#include "platform/win32/trial_stage.h"
#include "platform/win32/vfw_trial.h"

namespace korvane {
namespace {

constexpr LONG kFramesToTry = 10;
constexpr LONG kMaxVideoFrameBytes = 64 << 20;
constexpr LONG kMaxFormatBytes = 1 << 20;
constexpr DWORD kAudioBytesToTry = 16 << 10;
constexpr DWORD kAudioBlocksToTry = 4;

// AVIFile, ACM and the decompressor handles, each closed on every path.
struct AviFileLibrary {
  AviFileLibrary() { AVIFileInit(); }
  ~AviFileLibrary() { AVIFileExit(); }
};
struct FileHandle {
  PAVIFILE file = nullptr;
  ~FileHandle() {
    if (file != nullptr) AVIFileRelease(file);
  }
};
struct StreamHandle {
  PAVISTREAM stream = nullptr;
  ~StreamHandle() {
    if (stream != nullptr) AVIStreamRelease(stream);
  }
};
struct DecompressorHandle {
  HIC hic = nullptr;
  bool begun = false;
  ~DecompressorHandle() {
    if (begun) ICDecompressEnd(hic);
    if (hic != nullptr) ICClose(hic);
  }
};
struct AcmStreamHandle {
  HACMSTREAM stream = nullptr;
  ~AcmStreamHandle() {
    if (stream != nullptr) acmStreamClose(stream, 0);
  }
};

TryFinding Finding(TryOutcome outcome, const std::string& text) {
  TryFinding finding;
  finding.outcome = outcome;
  finding.text = text;
  return finding;
}

TryFinding DoesNotDecode(const std::string& why) {
  return Finding(TryOutcome::kDoesNotDecode, "does not decode: " + why);
}

std::string FourCCQuoted(DWORD fourcc) { return "'" + FourCCText(fourcc) + "'"; }

// The stream's format as the file gives it, with room behind it that the decoder may read.
bool ReadFormat(PAVISTREAM stream, size_t minimum, std::vector<uint8_t>* format) {
  LONG size = 0;
  if (AVIStreamReadFormat(stream, AVIStreamStart(stream), nullptr, &size) != 0) return false;
  if (size <= 0 || size > kMaxFormatBytes) return false;
  format->assign(std::max<size_t>(size, minimum) + 1024, 0);
  return AVIStreamReadFormat(stream, AVIStreamStart(stream), format->data(), &size) == 0 &&
         static_cast<size_t>(size) >= minimum;
}

// Bytes of one picture in the output format, or 0 when it is not a sane size.
DWORD PictureBytes(const BITMAPINFOHEADER& out) {
  if (out.biSizeImage != 0 && out.biSizeImage <= static_cast<DWORD>(kMaxVideoFrameBytes)) {
    return out.biSizeImage;
  }
  const long long width = out.biWidth, height = std::llabs(out.biHeight);
  if (width <= 0 || width > 32768 || height > 32768 || out.biBitCount == 0) return 0;
  const long long stride = (width * out.biBitCount + 31) / 32 * 4;
  const long long bytes = stride * height;
  return bytes > kMaxVideoFrameBytes ? 0 : static_cast<DWORD>(bytes);
}

// The decompressor for the stream: by the FourCC of its format, else by its header's.
HIC LocateDecompressor(BITMAPINFOHEADER* in, DWORD handler) {
  HIC hic = ICLocate(ICTYPE_VIDEO, in->biCompression, in, nullptr, ICMODE_DECOMPRESS);
  if (hic == nullptr && handler != 0 && handler != in->biCompression) {
    hic = ICLocate(ICTYPE_VIDEO, handler, in, nullptr, ICMODE_DECOMPRESS);
  }
  return hic;
}

// The format the decompressor offers, or 24-bit RGB when it offers none but accepts it.
bool ChooseOutput(HIC hic, BITMAPINFOHEADER* in, std::vector<uint8_t>* outFormat, LONG* error) {
  LONG size = ICDecompressGetFormatSize(hic, in);
  if (size < static_cast<LONG>(sizeof(BITMAPINFOHEADER)) || size > kMaxFormatBytes) {
    size = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
  }
  outFormat->assign(size + 1024, 0);
  auto* out = reinterpret_cast<BITMAPINFOHEADER*>(outFormat->data());
  *error = ICDecompressGetFormat(hic, in, out);
  if (*error == ICERR_OK && PictureBytes(*out) != 0) return true;
  std::fill(outFormat->begin(), outFormat->end(), 0);
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = std::abs(in->biHeight);
  out->biPlanes = 1;
  out->biBitCount = 24;
  out->biCompression = BI_RGB;
  out->biSizeImage = PictureBytes(*out);
  const LONG query = static_cast<LONG>(ICDecompressQuery(hic, in, out));
  if (query == ICERR_OK) return true;
  if (*error == ICERR_OK) *error = query;
  return false;
}

// A decompressor that has begun, with its formats and buffers, frame after frame.
struct VideoDecode {
  PAVISTREAM stream = nullptr;
  HIC hic = nullptr;
  BITMAPINFOHEADER* in = nullptr;
  BITMAPINFOHEADER* out = nullptr;
  std::vector<uint8_t> data;
  std::vector<uint8_t> picture;
};

TryFinding CantReadFrame(LONG frame, HRESULT hr) {
  return DoesNotDecode(
      Format("AVIFile can't read frame %d (%s)", static_cast<int>(frame), AviErrorName(hr)));
}

// Reads frame i and decodes it: a finding when either fails, else nullopt with *pictured
// false for a dropped frame, which leaves the previous picture as it is.
std::optional<TryFinding> DecodeFrame(VideoDecode* video, LONG i, bool* pictured) {
  const LONG frame = AVIStreamStart(video->stream) + i;
  LONG bytes = 0, samples = 0;
  *pictured = false;
  Stage(Format("reading frame %d through AVIFile", static_cast<int>(i)));
  HRESULT hr = AVIStreamRead(video->stream, frame, 1, nullptr, 0, &bytes, &samples);
  if (hr != 0 || bytes < 0 || bytes > kMaxVideoFrameBytes) return CantReadFrame(i, hr);
  if (bytes == 0) return std::nullopt;
  video->data.assign(bytes + 4096, 0);
  hr = AVIStreamRead(video->stream, frame, 1, video->data.data(), bytes, &bytes, &samples);
  if (hr != 0) return CantReadFrame(i, hr);
  const DWORD compressedBytes = video->in->biSizeImage;
  video->in->biSizeImage = bytes;
  const DWORD flags = AVIStreamIsKeyFrame(video->stream, frame) ? 0 : ICDECOMPRESS_NOTKEYFRAME;
  Stage(Format("decoding frame %d (ICDecompress)", static_cast<int>(i)));
  const LONG result = static_cast<LONG>(ICDecompress(
      video->hic, flags, video->in, video->data.data(), video->out, video->picture.data()));
  video->in->biSizeImage = compressedBytes;
  if (result != ICERR_OK && result != ICERR_DONTDRAW) {
    return DoesNotDecode(
        Format("ICDecompress on frame %d: %s", static_cast<int>(i), IcErrorName(result)));
  }
  *pictured = true;
  return std::nullopt;
}

// The first kFramesToTry frames through a decompressor that has begun.
TryFinding DecodeFirstFrames(VideoDecode* video) {
  const LONG frames = std::min(AVIStreamLength(video->stream), kFramesToTry);
  int decoded = 0;
  for (LONG i = 0; i < frames; ++i) {
    bool pictured = false;
    if (auto failed = DecodeFrame(video, i, &pictured)) return *failed;
    if (pictured) ++decoded;
  }
  if (decoded == 0) return Finding(TryOutcome::kNotTried, "not tried: the stream has no frames");
  const BITMAPINFOHEADER& out = *video->out;
  return Finding(TryOutcome::kDecodes,
                 Format("decodes: %d frame%s, %dx%d, %d-bit", decoded, decoded == 1 ? "" : "s",
                        static_cast<int>(out.biWidth), static_cast<int>(std::labs(out.biHeight)),
                        static_cast<int>(out.biBitCount)));
}

TryFinding TryVideo(PAVISTREAM stream, const AVISTREAMINFOA& info) {
  std::vector<uint8_t> inFormat;
  if (!ReadFormat(stream, sizeof(BITMAPINFOHEADER), &inFormat)) {
    return Finding(TryOutcome::kNotTried, "not tried: AVIFile gives no picture format");
  }
  auto* in = reinterpret_cast<BITMAPINFOHEADER*>(inFormat.data());
  DecompressorHandle decompressor;
  Stage("looking for the decompressor through ICLocate");
  decompressor.hic = LocateDecompressor(in, info.fccHandler);
  if (decompressor.hic == nullptr) {
    return DoesNotDecode("no decompressor for " + FourCCQuoted(in->biCompression));
  }
  std::vector<uint8_t> outFormat;
  LONG error = ICERR_OK;
  Stage("asking the decompressor for its picture format");
  if (!ChooseOutput(decompressor.hic, in, &outFormat, &error)) {
    return DoesNotDecode("the decompressor offers no picture format (" + IcErrorName(error) + ")");
  }
  VideoDecode video;
  video.stream = stream;
  video.hic = decompressor.hic;
  video.in = in;
  video.out = reinterpret_cast<BITMAPINFOHEADER*>(outFormat.data());
  video.picture.assign(PictureBytes(*video.out) + 4096, 0);
  Stage("starting the decompressor (ICDecompressBegin)");
  const LONG begin = static_cast<LONG>(ICDecompressBegin(decompressor.hic, in, video.out));
  if (begin != ICERR_OK) return DoesNotDecode("ICDecompressBegin: " + IcErrorName(begin));
  decompressor.begun = true;
  return DecodeFirstFrames(&video);
}

std::string PcmText(const WAVEFORMATEX& pcm) {
  std::string channels = pcm.nChannels == 1   ? "mono"
                         : pcm.nChannels == 2 ? "stereo"
                                              : Format("%d channels", pcm.nChannels);
  return Format("decodes to PCM, %u Hz, %d-bit, ", static_cast<unsigned>(pcm.nSamplesPerSec),
                pcm.wBitsPerSample) +
         channels;
}

// The first kAudioBlocksToTry blocks of the stream (at least 2 KB, at most
// kAudioBytesToTry), read one sample at a time. Wine's AVIFile takes the block size of an
// MP3 stream with chunks of varying size (ffmpeg writes them so) for the size of every
// sample: its stream then ends long before the length it reports, and reading past that
// end fails an assertion that ends the process. The first blocks stay clear of it.
std::vector<uint8_t> ReadFirstBlocks(PAVISTREAM stream, WORD blockAlign) {
  const DWORD wanted =
      std::min<DWORD>(kAudioBytesToTry, std::max<DWORD>(2048, kAudioBlocksToTry * blockAlign));
  std::vector<uint8_t> data(kAudioBytesToTry);
  DWORD used = 0;
  LONG position = AVIStreamStart(stream);
  const LONG end = position + AVIStreamLength(stream);
  while (used < wanted && position < end) {
    LONG bytes = 0, samples = 0;
    const HRESULT hr = AVIStreamRead(stream, position, 1, data.data() + used,
                                     static_cast<LONG>(data.size() - used), &bytes, &samples);
    if (hr != 0 || bytes <= 0) break;
    used += bytes;
    position += std::max<LONG>(samples, 1);
  }
  data.resize(used);
  return data;
}

// The bytes of PCM that blocks of the source give, as the ACM stream sizes them, or a
// generous guess when it gives no sane size.
DWORD PcmBytesFor(HACMSTREAM acm, DWORD sourceBytes) {
  DWORD pcmBytes = 0;
  Stage("sizing the PCM for the first blocks (acmStreamSize)");
  if (acmStreamSize(acm, sourceBytes, &pcmBytes, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR ||
      pcmBytes == 0 || pcmBytes > (64u << 20)) {
    pcmBytes = sourceBytes * 16 + 65536;
  }
  return pcmBytes;
}

// The first blocks through an open ACM stream to pcm.
TryFinding ConvertToPcm(HACMSTREAM acm, std::vector<uint8_t>* blocks, const WAVEFORMATEX& pcm) {
  const DWORD sourceBytes = static_cast<DWORD>(blocks->size());
  const DWORD pcmBytes = PcmBytesFor(acm, sourceBytes);
  std::vector<uint8_t> out(pcmBytes + 4096);
  ACMSTREAMHEADER header = {};
  header.cbStruct = sizeof(header);
  header.pbSrc = blocks->data();
  header.cbSrcLength = sourceBytes;
  header.pbDst = out.data();
  header.cbDstLength = pcmBytes;
  Stage("preparing the ACM buffers (acmStreamPrepareHeader)");
  MMRESULT result = acmStreamPrepareHeader(acm, &header, 0);
  if (result != MMSYSERR_NOERROR) {
    return DoesNotDecode("acmStreamPrepareHeader: " + MmResultName(result));
  }
  Stage("converting the first blocks to PCM (acmStreamConvert)");
  result = acmStreamConvert(acm, &header, ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END);
  const DWORD produced = header.cbDstLengthUsed;
  header.cbSrcLength = sourceBytes;
  header.cbDstLength = pcmBytes;
  acmStreamUnprepareHeader(acm, &header, 0);
  if (result != MMSYSERR_NOERROR) return DoesNotDecode("acmStreamConvert: " + MmResultName(result));
  if (produced == 0) {
    return DoesNotDecode(Format("acmStreamConvert gave no PCM from the first %u bytes",
                                static_cast<unsigned>(sourceBytes)));
  }
  return Finding(TryOutcome::kDecodes, PcmText(pcm));
}

TryFinding TryAudio(PAVISTREAM stream) {
  std::vector<uint8_t> format;
  if (!ReadFormat(stream, sizeof(PCMWAVEFORMAT), &format)) {
    return Finding(TryOutcome::kNotTried, "not tried: AVIFile gives no sound format");
  }
  auto* source = reinterpret_cast<WAVEFORMATEX*>(format.data());
  LONG formatSize = 0;
  AVIStreamReadFormat(stream, AVIStreamStart(stream), nullptr, &formatSize);
  if (formatSize < static_cast<LONG>(sizeof(WAVEFORMATEX))) source->cbSize = 0;

  WAVEFORMATEX pcm = {};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  Stage("asking ACM for a PCM format (acmFormatSuggest)");
  MMRESULT result =
      acmFormatSuggest(nullptr, source, &pcm, sizeof(pcm), ACM_FORMATSUGGESTF_WFORMATTAG);
  if (result != MMSYSERR_NOERROR) {
    return DoesNotDecode(Format("no ACM driver converts format tag 0x%04X to PCM (%s)",
                                source->wFormatTag, MmResultName(result)));
  }
  AcmStreamHandle acm;
  Stage("opening an ACM stream to PCM (acmStreamOpen)");
  result =
      acmStreamOpen(&acm.stream, nullptr, source, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
  if (result != MMSYSERR_NOERROR) {
    acm.stream = nullptr;
    return DoesNotDecode("acmStreamOpen: " + MmResultName(result));
  }
  Stage("reading the first blocks through AVIFile");
  std::vector<uint8_t> blocks = ReadFirstBlocks(stream, source->nBlockAlign);
  if (blocks.empty()) return Finding(TryOutcome::kNotTried, "not tried: the stream has no sound");
  return ConvertToPcm(acm.stream, &blocks, pcm);
}

}  // namespace

TryFinding TryVideoForWindows(const std::string& path, size_t index) {
  AviFileLibrary library;
  FileHandle file;
  Stage("opening the file through AVIFile");
  HRESULT hr = AVIFileOpenA(&file.file, path.c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr);
  if (hr != 0) {
    file.file = nullptr;
    return DoesNotDecode("AVIFile can't open the file (" + AviErrorName(hr) + ")");
  }
  StreamHandle stream;
  hr = AVIFileGetStream(file.file, &stream.stream, 0, static_cast<LONG>(index));
  if (hr != 0) {
    stream.stream = nullptr;
    return DoesNotDecode(
        Format("AVIFile gives no stream %d (%s)", static_cast<int>(index), AviErrorName(hr)));
  }
  AVISTREAMINFOA info = {};
  AVIStreamInfoA(stream.stream, &info, sizeof(info));
  if (info.fccType == streamtypeVIDEO) return TryVideo(stream.stream, info);
  if (info.fccType == streamtypeAUDIO) return TryAudio(stream.stream);
  return Finding(TryOutcome::kNotTried, "not tried: not a video or audio stream");
}

}  // namespace korvane

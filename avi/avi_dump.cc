// Reads a file's first 384 bytes in 16-byte items and reports what they say.
#include "avi/avi_dump.h"

#include <cstdio>
#include <cstring>

#include "avi/codec_names.h"
#include "platform/read_stream.h"

namespace korvane {
namespace {

bool IsShownAsText(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

uint32_t ReadLittleEndian32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The size of an open file, past 2 GiB too. Seek results are not examined: a stream
// that cannot seek counts as empty.
int64_t FileSize(std::FILE* file) {
#ifdef _WIN32
  _fseeki64(file, 0, SEEK_END);
  const int64_t size = _ftelli64(file);
  _fseeki64(file, 0, SEEK_SET);
#else
  fseeko(file, 0, SEEK_END);
  const int64_t size = ftello(file);
  fseeko(file, 0, SEEK_SET);
#endif
  return size < 0 ? 0 : size;
}

constexpr int64_t kLargeFile = int64_t{1} << 31;

std::string SizeLine(const std::string& path, int64_t size) {
  if (size < kLargeFile) {
    const int32_t small = static_cast<int32_t>(size);
    return Format("%s - size 0x%08X (%d)", path, small, small);
  }
  // Past the signed 32-bit range the real size is shown in full.
  return Format("%s - size 0x%08I64X (%I64d)", path, size, size);
}

// True when the header declares at least as many bytes as the file holds. Below 2 GiB
// both are signed 32-bit, so a declared size with its top bit set never counts; past
// 2 GiB the declared size is taken as the unsigned number it is.
bool LooksTruncated(uint32_t declaredSize, int64_t fileSize) {
  if (fileSize < kLargeFile) {
    return static_cast<int32_t>(declaredSize) >= static_cast<int32_t>(fileSize);
  }
  return static_cast<int64_t>(declaredSize) >= fileSize;
}

}  // namespace

// The dump line is the one line written for every 16 bytes of every file, so it is built
// here directly rather than through the formatter. The bytes are exactly what the
// formatter makes of kDumpLineFormat: "%02X" of a byte is always two digits and a
// display character is never a zero byte, so no field is cut or padded.
std::string DumpLine(const unsigned char* b) {
  static const char kHex[] = "0123456789ABCDEF";
  char line[kDumpLineLength];
  char* hex = line;
  for (int i = 0; i < kDumpBlockSize; ++i) {
    *hex++ = kHex[b[i] >> 4];
    *hex++ = kHex[b[i] & 0xF];
    *hex++ = ' ';
    if (i == 7) *hex++ = '|', *hex++ = ' ';
  }
  *hex++ = '|';
  for (int i = 0; i < kDumpBlockSize; ++i) *hex++ = IsShownAsText(b[i]) ? b[i] : ' ';
  return std::string(line, sizeof line);
}

bool DumpAviFile(ReportWindow& window, const std::string& path) {
  std::FILE* file = OpenReadStream(path);
  if (file == nullptr) {
    ShowError("can't open %s", path);
    return false;
  }
  // At most 384 bytes are read: a small buffer saves copying a default-sized block of
  // the head, and another of the tail when the stream seeks to the end.
  char streamBuffer[512];
  std::setvbuf(file, streamBuffer, _IOFBF, sizeof streamBuffer);
  const int64_t fileSize = FileSize(file);
  AddReportLine("======== File dump ==========");
  AddReportLineText(SizeLine(path, fileSize));
  window.SetPathField(path);

  unsigned char riffHeader[12] = {};
  uint32_t fourcc = 0;
  unsigned char block[kDumpBlockSize];
  for (int slot = 0; slot < kDumpBlockCount; ++slot) {
    if (std::fread(block, kDumpBlockSize, 1, file) != 1) continue;
    AddReportLineText(DumpLine(block));
    if (slot == 0) std::memcpy(riffHeader, block, sizeof riffHeader);
    if (slot == kFourCCOffset / kDumpBlockSize) fourcc = ReadLittleEndian32(block + 12);
  }
  std::fclose(file);

  if (std::memcmp(riffHeader, "RIFF", 4) == 0) {
    AddReportLine("RIFF file");
  } else {
    AddReportLine("File does not start with 'RIFF'");
  }
  if (LooksTruncated(ReadLittleEndian32(riffHeader + 4), fileSize)) {
    AddReportLine("File seems to be truncated");
  }
  AddReportLine("codec by fourcc: %s", CodecName(fourcc));
  return true;
}

}  // namespace korvane

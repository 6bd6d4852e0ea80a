// Reads a file's first 384 bytes as 16-byte blocks and reports what they say.
#include "avi/avi_dump.h"

#include <cstring>

#include "avi/codec_names.h"
#include "platform/byte_reader.h"
#include "platform/read_stream.h"

namespace korvane {
namespace {

bool IsShownAsText(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
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
void WriteDumpLine(const unsigned char* b, char* line) {
  static const char kHex[] = "0123456789ABCDEF";
  char* hex = line;
  for (int i = 0; i < kDumpBlockSize; ++i) {
    *hex++ = kHex[b[i] >> 4];
    *hex++ = kHex[b[i] & 0xF];
    *hex++ = ' ';
    if (i == 7) *hex++ = '|', *hex++ = ' ';
  }
  *hex++ = '|';
  for (int i = 0; i < kDumpBlockSize; ++i) *hex++ = IsShownAsText(b[i]) ? b[i] : ' ';
}

std::string DumpLine(const unsigned char* b) {
  std::string line(kDumpLineLength, ' ');
  WriteDumpLine(b, &line[0]);
  return line;
}

bool DumpAviFile(ReportWindow& window, const std::string& path) {
  static_assert(kHeadBlockSize == kDumpBlockSize && kHeadBlockCount == kDumpBlockCount,
                "the head read is the dumped blocks");
  const FileHead head = ReadFileHead(path);
  if (!head.opened) {
    ShowError("can't open %s", path);
    return false;
  }
  const int64_t fileSize = head.size;
  AddReportLine("======== File dump ==========");
  AddReportLineText(SizeLine(path, fileSize));
  window.SetPathField(path);

  unsigned char riffHeader[12] = {};
  uint32_t fourcc = 0;
  std::string line(kDumpLineLength, ' ');  // one allocation per file, not per line
  for (int slot = 0; slot < kDumpBlockCount; ++slot) {
    if ((head.blocksRead & (uint32_t{1} << slot)) == 0) continue;
    const unsigned char* block = head.bytes + slot * kDumpBlockSize;
    WriteDumpLine(block, &line[0]);
    AddReportLineText(line);
    if (slot == 0) std::memcpy(riffHeader, block, sizeof riffHeader);
    if (slot == kFourCCOffset / kDumpBlockSize) {
      fourcc = ByteReader(block, kDumpBlockSize).U32At(kFourCCOffset % kDumpBlockSize);
    }
  }

  if (std::memcmp(riffHeader, "RIFF", 4) == 0) {
    AddReportLine("RIFF file");
  } else {
    AddReportLine("File does not start with 'RIFF'");
  }
  if (LooksTruncated(ByteReader(riffHeader, sizeof riffHeader).U32At(4), fileSize)) {
    AddReportLine("File seems to be truncated");
  }
  AddReportLine("codec by fourcc: %s", CodecName(fourcc));
  return true;
}

}  // namespace korvane

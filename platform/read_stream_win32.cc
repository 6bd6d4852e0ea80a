// Opening a file for reading on Windows: fopen, and the head read through the stream.
#include "platform/read_stream.h"

namespace korvane {

std::FILE* OpenReadStream(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

std::FILE* OpenDiskFile(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

FileHead ReadFileHead(const std::string& path) {
  FileHead head;
  std::FILE* file = OpenReadStream(path);
  if (file == nullptr) return head;
  head.opened = true;
  // Only the head is read: a small buffer saves copying a default-sized block of it, and
  // another of the tail when the stream seeks to the end.
  char streamBuffer[512];
  std::setvbuf(file, streamBuffer, _IOFBF, sizeof streamBuffer);
  // Seek results are not examined: a stream that cannot seek counts as empty.
  _fseeki64(file, 0, SEEK_END);
  const int64_t size = _ftelli64(file);
  _fseeki64(file, 0, SEEK_SET);
  head.size = size < 0 ? 0 : size;
  for (int block = 0; block < kHeadBlockCount; ++block) {
    unsigned char* at = head.bytes + block * kHeadBlockSize;
    if (std::fread(at, kHeadBlockSize, 1, file) == 1) head.blocksRead |= uint32_t{1} << block;
  }
  std::fclose(file);
  return head;
}

}  // namespace korvane

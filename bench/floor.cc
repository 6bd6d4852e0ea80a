// The least a dump of many files can cost, for the benchmark to measure korvane dump
// against: open each file, read its first 384 bytes, close it, and nothing else.
//
// With --stream the same files are read the way the dump reads them: opened as the dump
// opens them (OpenReadStream), then through the standard library's buffered stream: seek
// to the end, take the position, seek back and read 24 items of 16 bytes. That shows how
// much of the dump's cost the reading alone is.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/read_stream.h"

namespace {

constexpr int kHeadSize = 384;

// Returns the byte at offset 188 (the FourCC's first byte), so that no read is idle.
int ReadHeadDirect(const char* path) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return -1;
  unsigned char head[kHeadSize];
  const ssize_t got = read(fd, head, sizeof head);
  close(fd);
  return got > 188 ? head[188] : 0;
}

int ReadHeadThroughStream(const char* path) {
  std::FILE* file = korvane::OpenReadStream(path);
  if (file == nullptr) return -1;
  char streamBuffer[512];
  std::setvbuf(file, streamBuffer, _IOFBF, sizeof streamBuffer);
  fseeko(file, 0, SEEK_END);
  const off_t size = ftello(file);
  fseeko(file, 0, SEEK_SET);
  unsigned char head[kHeadSize] = {};
  for (int slot = 0; slot < kHeadSize / 16; ++slot) {
    if (std::fread(head + slot * 16, 16, 1, file) != 1) break;
  }
  std::fclose(file);
  return size > 188 ? head[188] : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  bool stream = false;
  if (argc > 1 && std::strcmp(argv[1], "--stream") == 0) stream = true, first = 2;
  unsigned long checksum = 0;
  int unreadable = 0;
  for (int i = first; i < argc; ++i) {
    const int byte = stream ? ReadHeadThroughStream(argv[i]) : ReadHeadDirect(argv[i]);
    if (byte < 0) {
      ++unreadable;
    } else {
      checksum += static_cast<unsigned>(byte);
    }
  }
  std::printf("%d files, %d unreadable, checksum %lu\n", argc - first, unreadable, checksum);
  return unreadable == 0 ? 0 : 1;
}

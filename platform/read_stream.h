// Opening a file for reading as a binary stream, with the same outcome on every host.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace korvane {

// fopen(path, "rb") as the Windows C runtime answers it: a directory cannot be opened, and
// a named pipe that nobody writes to reads as empty instead of blocking the caller until a
// writer comes. Null when the path cannot be opened; the caller fcloses the stream.
std::FILE* OpenReadStream(const std::string& path);

// The same for a file on the disk of a described machine, which holds files and folders
// only: anything else (a pipe, a device) cannot be opened either.
std::FILE* OpenDiskFile(const std::string& path);

// The first bytes of a file, in blocks of kHeadBlockSize, and the file's size.
constexpr int kHeadBlockSize = 16;
constexpr int kHeadBlockCount = 24;

struct FileHead {
  bool opened = false;      // false: the path cannot be opened as OpenReadStream tells
  int64_t size = 0;         // the size of a regular file; 0 for a stream that cannot seek
  uint32_t blocksRead = 0;  // bit n set when block n was read in full
  unsigned char bytes[kHeadBlockSize * kHeadBlockCount] = {};
};

// Opens path as OpenReadStream does and reads its size and its first kHeadBlockCount blocks.
// A block counts only when all its bytes were read. Elsewhere than on Windows this is a
// handful of system calls (open, fstat, read, close) rather than a buffered stream, because
// the dump does it for tens of thousands of files at a time.
FileHead ReadFileHead(const std::string& path);

}  // namespace korvane

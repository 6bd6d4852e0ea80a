// Opening a file for reading away from Windows: open + fdopen, or plain reads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/read_stream.h"

namespace korvane {

namespace {

// A descriptor open for blocking reads, or -1; info describes the file.
int OpenDescriptor(const std::string& path, bool regularFileOnly, struct stat& info) {
  // Without O_NONBLOCK, opening a pipe waits for a writer, possibly for ever.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
      (regularFileOnly && !S_ISREG(info.st_mode))) {
    // POSIX opens a folder for reading; Windows does not, and its "size" means nothing.
    close(fd);
    errno = EISDIR;
    return -1;
  }
  // Reads then wait for data as usual; a pipe without writers reads as its end. A regular
  // file never waits, so it is spared the two calls.
  if (!S_ISREG(info.st_mode)) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  return fd;
}

std::FILE* Open(const std::string& path, bool regularFileOnly) {
  struct stat info;
  const int fd = OpenDescriptor(path, regularFileOnly, info);
  if (fd < 0) return nullptr;
  std::FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) close(fd);
  return stream;
}

}  // namespace

std::FILE* OpenReadStream(const std::string& path) { return Open(path, false); }

std::FILE* OpenDiskFile(const std::string& path) { return Open(path, true); }

// What a stream's seek to the end tells: the size of a regular file, where a device that
// seeks says its end is, and nothing (0) for a pipe or a terminal.
int64_t SizeOf(int fd, const struct stat& info) {
  if (S_ISREG(info.st_mode)) return info.st_size;
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end < 0) return 0;
  lseek(fd, 0, SEEK_SET);
  return end;
}

FileHead ReadFileHead(const std::string& path) {
  FileHead head;
  struct stat info;
  const int fd = OpenDescriptor(path, false, info);
  if (fd < 0) return head;
  head.opened = true;
  head.size = SizeOf(fd, info);
  // A pipe or a device may return a little at a time. A regular file's short read is its
  // end unless the file said it holds more (files under /proc say they hold nothing).
  const bool regular = S_ISREG(info.st_mode);
  size_t got = 0;
  while (got < sizeof head.bytes) {
    const ssize_t n = read(fd, head.bytes + got, sizeof head.bytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
    if (regular && static_cast<int64_t>(got) >= head.size) break;
  }
  close(fd);
  for (size_t block = 0; block < got / kHeadBlockSize; ++block) {
    head.blocksRead |= uint32_t{1} << block;
  }
  return head;
}

}  // namespace korvane

// Opening a file for reading: fopen on Windows, open + fdopen elsewhere.
#include "platform/read_stream.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace korvane {

#ifdef _WIN32

std::FILE* OpenReadStream(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

std::FILE* OpenDiskFile(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

#else

namespace {

std::FILE* Open(const std::string& path, bool regularFileOnly) {
  // Without O_NONBLOCK, opening a pipe waits for a writer, possibly for ever.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
      (regularFileOnly && !S_ISREG(info.st_mode))) {
    // POSIX opens a folder for reading; Windows does not, and its "size" means nothing.
    close(fd);
    errno = EISDIR;
    return nullptr;
  }
  // Reads then wait for data as usual; a pipe without writers reads as its end.
  const int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) close(fd);
  return stream;
}

}  // namespace

std::FILE* OpenReadStream(const std::string& path) { return Open(path, false); }

std::FILE* OpenDiskFile(const std::string& path) { return Open(path, true); }

#endif

}  // namespace korvane

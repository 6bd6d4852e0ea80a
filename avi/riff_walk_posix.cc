// Reading an AVI file at 64-bit offsets away from Windows.
#include <sys/types.h>

#include "avi/riff_walk.h"

namespace korvane {

FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
  if (fseeko(file_, 0, SEEK_END) == 0) {
    const int64_t size = ftello(file_);
    size_ = size < 0 ? 0 : static_cast<uint64_t>(size);
  }
}

bool FileByteSource::ReadAt(uint64_t offset, uint8_t* out, size_t n) {
  if (offset > size_ || n > size_ - offset) return false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(out, 1, n, file_) == n;
}

}  // namespace korvane

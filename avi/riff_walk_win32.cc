// Reading an AVI file at 64-bit offsets on Windows.
#include "avi/riff_walk.h"

namespace korvane {

FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
  if (_fseeki64(file_, 0, SEEK_END) == 0) {
    const int64_t size = _ftelli64(file_);
    size_ = size < 0 ? 0 : static_cast<uint64_t>(size);
  }
}

bool FileByteSource::ReadAt(uint64_t offset, uint8_t* out, size_t n) {
  if (offset > size_ || n > size_ - offset) return false;
  if (_fseeki64(file_, static_cast<int64_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(out, 1, n, file_) == n;
}

}  // namespace korvane

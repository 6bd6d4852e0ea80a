// Any bytes through the RIFF walk: no read outside the bytes, budgets respected, and a
// result that holds together.
#include <cstdint>
#include <cstdlib>

#include "avi/riff_walk.h"

namespace {

class BoundedSource : public korvane::MemoryByteSource {
 public:
  BoundedSource(const uint8_t* data, size_t size) : MemoryByteSource(data, size), size_(size) {}
  bool ReadAt(uint64_t offset, uint8_t* out, size_t n) override {
    if (offset > size_ || n > size_ - offset) std::abort();  // the walk checks before reading
    bytesRead += n;
    return MemoryByteSource::ReadAt(offset, out, n);
  }
  size_t size_;
  uint64_t bytesRead = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BoundedSource source(data, size);
  korvane::WalkLimits limits;
  limits.byteBudget = 1 << 16;
  limits.chunkBudget = 2000;
  const korvane::AviWalk walk = korvane::WalkAvi(source, limits);
  if (source.bytesRead > limits.byteBudget) std::abort();
  if (walk.fileSize != size) std::abort();
  if (!walk.isAvi && walk.problems.empty()) std::abort();
  if (walk.isAvi && !walk.isRiff) std::abort();
  // Every stream list is at least 12 bytes of the file.
  if (walk.streams.size() > size / 12) std::abort();
  for (const korvane::AviStream& stream : walk.streams) {
    if (korvane::FourCCText(stream.compression).empty()) std::abort();
  }
  return 0;
}

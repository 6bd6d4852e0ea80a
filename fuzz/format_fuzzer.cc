// Any format text with any arguments: the output stays within the formatter's bound.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // First byte picks the argument kinds, the rest up to a zero byte is the format,
  // what follows feeds the arguments.
  if (size == 0) return 0;
  const uint8_t kinds = data[0];
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = rest.find('\0');
  const std::string format = rest.substr(0, split);
  const std::string tail = split == std::string::npos ? std::string() : rest.substr(split + 1);

  korvane::FormatArg args[6] = {0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 6; ++i) {
    if (kinds & (1 << i)) {
      args[i] = korvane::FormatArg(tail.c_str());
    } else {
      int64_t v = 0;
      for (size_t b = 0; b < 8 && i * 8 + b < tail.size(); ++b) {
        v = (v << 8) | static_cast<uint8_t>(tail[i * 8 + b]);
      }
      args[i] = korvane::FormatArg(static_cast<long long>(v));
    }
  }
  const std::string out = korvane::FormatArgs(format.c_str(), args, kinds >> 6);
  if (out.size() >= korvane::kFormatLimit) std::abort();
  if (out.find('\0') != std::string::npos) std::abort();
  return 0;
}

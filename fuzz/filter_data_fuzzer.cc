// Any bytes as a DirectShow filter registration's FilterData: its pins, or a reason.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/offline/formats/filter_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  const std::vector<uint8_t> bytes(data, data + size);
  std::string whyNot;
  const auto parsed = korvane::ParseFilterData(bytes.data(), bytes.size(), &whyNot);
  if (!parsed && whyNot.empty()) std::abort();
  if (parsed && parsed->version != 1 && parsed->version != 2) std::abort();
  return 0;
}

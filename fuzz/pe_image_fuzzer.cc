// Any bytes as a library file: its headers, imports and version strings, or a reason.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/offline/formats/pe_image.h"
#include "platform/offline/formats/version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  const std::vector<uint8_t> bytes(data, data + size);
  std::string whyNot;
  const auto image = korvane::ParsePeImage(bytes.data(), bytes.size(), &whyNot);
  if (!image) {
    if (whyNot.empty()) std::abort();
  } else {
    korvane::ReadVersionStrings(korvane::PeView{bytes.data(), bytes.size(), &*image});
  }
  korvane::ParseVersionInfo(bytes.data(), bytes.size());
  return 0;
}

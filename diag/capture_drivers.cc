// The video capture drivers that the capture library knows, at indexes 0 to 9.
#include "diag/diag_steps.h"

namespace korvane {
namespace {

constexpr unsigned kCaptureDriverIndexes = 10;
constexpr size_t kDescriptionMax = 127;  // 128-byte buffers, capacity 127 given

// What a 128-byte buffer holds of a description: up to its first zero, at most 127 bytes.
std::string BufferText(const std::string& text) {
  std::string held = text.c_str();
  if (held.size() > kDescriptionMax) held.resize(kDescriptionMax);
  return held;
}

}  // namespace

void ListCaptureDrivers(System& system) {
  int found = 0;
  for (unsigned index = 0; index < kCaptureDriverIndexes; ++index) {
    std::string name;
    std::string version;
    if (!system.capGetDriverDescriptionA(index, &name, &version)) continue;
    AddReportLine("#%d %s %s", index, BufferText(name), BufferText(version));
    ++found;
  }
  if (found == 0) AddReportLine("nothing found");
}

}  // namespace korvane

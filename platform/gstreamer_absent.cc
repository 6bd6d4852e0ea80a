// Builds without GStreamer (Windows, where DirectShow decodes by itself).
#include "platform/gstreamer.h"

namespace korvane {

std::unique_ptr<GstreamerHost> OpenHostGstreamer(int viewBits, std::string* whyNot) {
  (void)viewBits;
  if (whyNot) *whyNot = "this build of korvane does not ask GStreamer";
  return nullptr;
}

}  // namespace korvane

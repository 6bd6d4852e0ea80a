// The host's GStreamer, asked what it does with the streams of an AVI file. Wine's DirectShow
// decodes through it, so under Wine its registry decides whether a stream plays. GStreamer
// is loaded (as a module of its own) only when this is asked, once per run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace korvane {

struct GstreamerStreamAnswer {
  std::string caps;  // what the FourCC or format tag becomes: "video/x-h264, ..."
  bool decodes = false;
  std::string element;  // the decoder element that would take it: "avdec_h264"
  std::string missing;  // what to install when none would, in GStreamer's words
  // Uncompressed samples ("video/x-raw", "audio/x-raw"): they play with no decoder, so
  // decodes is true and element empty.
  bool raw = false;
  // False when GStreamer knows no caps for the FourCC or tag: its AVI demuxer then gives
  // the stream caps no element takes, and there is nothing to install that would.
  bool known = true;
};

class GstreamerHost {
 public:
  virtual ~GstreamerHost() = default;
  // The element that takes an AVI file apart ("avidemux"), empty when none is installed.
  virtual std::string AviDemuxer() = 0;
  virtual GstreamerStreamAnswer AskVideo(uint32_t fourcc) = 0;
  virtual GstreamerStreamAnswer AskAudio(uint16_t formatTag) = 0;
};

// The GStreamer that runs Wine's DirectShow in a view of 32 or 64 bits: null, and why in
// *whyNot, when this host has none for that view.
std::unique_ptr<GstreamerHost> OpenHostGstreamer(int viewBits, std::string* whyNot);

}  // namespace korvane

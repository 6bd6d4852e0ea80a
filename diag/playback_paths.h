// The ways a player can play a checked file on the machine, beside Video for Windows: a
// DirectShow graph (a splitter that takes the AVI file and a decoder filter, DMO, or
// wrapped VfW or ACM driver for each stream), Media Foundation where the machine has it,
// and under Wine the host's GStreamer behind Wine's splitter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/decoder_trial.h"
#include "platform/gstreamer.h"

namespace korvane {

// A DirectShow decoder that takes a stream's media type.
struct DirectShowDecoder {
  std::string name;  // "AVI Decompressor (vidc.cvid)", "WMVideo Decoder DMO"
  std::string clsid;
  uint32_t merit = 0;
  std::string library;
  bool loads = false;
};

struct StreamPaths {
  std::vector<DirectShowDecoder> directshow;  // best merit first
  // Behind Wine's GStreamer splitter: what the host's GStreamer does with the stream.
  std::optional<GstreamerStreamAnswer> gstreamer;
};

// What building and running the DirectShow graph for a file found (check --try).
struct DirectShowTry {
  TryFinding finding;                // outcome and the text after "try (DirectShow): "
  std::vector<std::string> filters;  // the chain that was built, source first
  unsigned frames = 0;               // frames that reached the video renderer
  // The graph as it forks: one chain per renderer, source first; filters lists each
  // filter of these once, in this order.
  std::vector<std::vector<std::string>> branches;
};

// The DirectShow try as the paths keep it.
DirectShowTry DirectShowTryOf(const GraphFinding& graph);
// "A -> B -> C; B -> D" with arrow " -> ": the first branch whole, each further one from
// the filter where it leaves the branch before it.
std::string ChainText(const std::vector<std::vector<std::string>>& branches, const char* arrow);

struct FilePaths {
  bool known = false;  // the machine's DirectShow registrations were read
  bool vfwPlayable = false;
  bool directshowPlayable = false;
  std::string splitter;  // the filter that wins by merit for the AVI file, empty when none
  bool hasMediaFoundation = false;
  bool mediaFoundationPlayable = false;
  std::vector<StreamPaths> streams;  // one per stream, in stream order
  std::optional<DirectShowTry> directshowTry;
};

}  // namespace korvane

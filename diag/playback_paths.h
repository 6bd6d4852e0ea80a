// The ways a player can play a checked file on the machine, beside Video for Windows: a
// DirectShow graph (a splitter that takes the AVI file and a decoder filter, DMO, or
// wrapped VfW or ACM driver for each stream), Media Foundation where the machine has it,
// and under Wine the host's GStreamer behind Wine's splitter.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "avi/riff_walk.h"
#include "diag/decoder_check.h"
#include "diag/playback_registrations.h"
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
};

struct FilePaths {
  bool known = false;  // the machine's DirectShow registrations were read
  bool vfwPlayable = false;
  bool directshowPlayable = false;
  std::string splitter;  // the filter that wins by merit for the AVI file, empty when none
  bool hasMediaFoundation = false;
  bool mediaFoundationPlayable = false;
  std::vector<StreamPaths> streams;  // one per stream, in stream order
  std::optional<DirectShowTry> directshowTry;
  // What a DirectShow graph for the file lacks, one phrase each ("an AVI splitter filter",
  // "a DirectShow decoder for Motion JPEG (MJPG)"); empty when it plays.
  std::vector<std::string> directshowNeeds;
};

// The filters that wrap the older decoders, and Wine's splitter that decodes through the
// host's GStreamer (registered by winegstreamer at MERIT_PREFERRED for any byte stream).
extern const char kAviDecompressorClsid[];
extern const char kAcmWrapperClsid[];
extern const char kWineGstreamerSplitterClsid[];
// DirectShow weighs every DMO at this merit unless the DMO says otherwise.
constexpr uint32_t kDmoMerit = kMeritNormal + 0x800;

// The host's GStreamer, opened the first time a file's DirectShow path runs through it and
// kept for the rest of the run: loading it costs, and most machines never need it.
class GstreamerOnDemand {
 public:
  using Opener = std::function<std::unique_ptr<GstreamerHost>(std::string* whyNot)>;
  explicit GstreamerOnDemand(Opener opener) : opener_(std::move(opener)) {}
  // Null when the host has none; whyNot() says why.
  GstreamerHost* Get();
  const std::string& whyNot() const { return whyNot_; }
  // Its AVI demuxer, asked once.
  const std::string& AviDemuxer();

 private:
  Opener opener_;
  bool opened_ = false;
  std::unique_ptr<GstreamerHost> host_;
  std::string whyNot_;
  std::optional<std::string> demuxer_;
};

// The paths beside Video for Windows for a file whose streams were checked (decoders, one
// per stream): which DirectShow splitter and decoders a player's graph would take, and
// whether Media Foundation has a transform for each stream. vfwPlayable is left to the
// caller, which knows what the tries found. gstreamer may be null where no GStreamer can be
// asked.
FilePaths WorkOutPaths(const PlaybackRegistrations& registrations, const AviWalk& walk,
                       const std::vector<DecoderCheck>& decoders, GstreamerOnDemand* gstreamer);

}  // namespace korvane

// Which streams of a checked file a try decodes, and the findings of those it does not.
#include "diag/streams_to_try.h"

namespace korvane {

std::vector<size_t> StreamsToTry(const FileCheck& file) {
  std::vector<size_t> streams;
  if (!file.error.empty() || !file.walk.isAvi || !file.walk.holdsFrames()) return streams;
  for (size_t i = 0; i < file.walk.streams.size() && i < file.decoders.size(); ++i) {
    const AviStream& stream = file.walk.streams[i];
    if ((stream.isVideo() || stream.isAudio()) && stream.hasFormat &&
        file.decoders[i].needsDecoder) {
      streams.push_back(i);
    }
  }
  return streams;
}

// The finding of a stream that no child decodes, said the same way on every platform.
TryFinding UntriedFinding(const FileCheck& file, size_t index) {
  TryFinding finding;
  finding.outcome = TryOutcome::kNotTried;
  const AviStream& stream = file.walk.streams[index];
  if (!stream.isVideo() && !stream.isAudio()) {
    finding.text = "not tried: not a video or audio stream";
  } else if (!stream.hasFormat) {
    finding.text = "not tried: the stream has no format";
  } else if (!file.walk.holdsFrames()) {
    finding.text = "not tried: the file holds no frames";
  } else {
    finding.text = "not tried: needs no decoder";
  }
  return finding;
}

}  // namespace korvane

// One AVI file checked against a machine: its streams, the decoder each needs, what the
// machine lacks and the verdict, which the findings of a try may change.
#pragma once

#include <string>
#include <vector>

#include "avi/riff_walk.h"
#include "diag/decoder_check.h"
#include "diag/playback_paths.h"
#include "platform/decoder_trial.h"
#include "platform/system.h"

namespace korvane {

struct FileCheck {
  std::string path;
  std::string error;  // why the file could not be read; empty when it was
  AviWalk walk;
  std::vector<DecoderCheck> decoders;  // one per stream, in stream order
  std::vector<std::string> install;    // what the machine lacks, one phrase each
  // With --try: one finding per stream, in stream order; empty without it.
  std::vector<TryFinding> tries;
  bool playable = false;
  // Checked against a saved report that does not hold every fact: whether it plays cannot
  // be told, and what to ask the report's sender for so that it could.
  bool playableKnown = true;
  std::vector<std::string> askFor;
  std::string verdict;
  // The DirectShow and Media Foundation paths beside Video for Windows, when worked out.
  FilePaths paths;
};

// Reads the file at path (a path of the host, not of the machine) and checks each of
// its streams against the machine's drivers.
FileCheck CheckAviFile(System& system, const InstalledDrivers& drivers, const std::string& path);
// The same with the libraries' facts from elsewhere (a saved report).
FileCheck CheckAviFile(const LibraryLookup& libraries, const InstalledDrivers& drivers,
                       const std::string& path);

// Works out the DirectShow and Media Foundation paths from the machine's registrations and
// lets the verdict name them. A machine without any such registration (a saved report, an
// old Windows) keeps the Video for Windows verdict alone. gstreamer may be null.
void SetPlaybackPaths(const PlaybackRegistrations& registrations, GstreamerOnDemand* gstreamer,
                      FileCheck* file);

// Lets the tries decide where they tell more than the files: a stream that decodes needs
// nothing, one whose decoder is there but fails its try (does not decode, crashes, hangs)
// needs repair. The verdict, install list and playable follow.
void ApplyTries(FileCheck* file);

}  // namespace korvane

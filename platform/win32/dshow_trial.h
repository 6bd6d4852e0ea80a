// The DirectShow trial: the graph a player builds for a file, run to its first frames
// and sound, in the calling process.
#pragma once

#include <string>

#include "platform/decoder_trial.h"

namespace korvane {

GraphFinding DirectShowGraphTrial(const std::string& path, size_t renderers);

}  // namespace korvane

// The DirectShow trial: the graph a player builds for a file, run to its first frames
// and sound, in the calling process.
#pragma once

#include <functional>
#include <string>

#include "platform/decoder_trial.h"

namespace korvane {

// found hears of the finding before the graph is stopped and released.
GraphFinding DirectShowGraphTrial(const std::string& path, size_t renderers,
                                  const std::function<void(const GraphFinding&)>& found);

}  // namespace korvane

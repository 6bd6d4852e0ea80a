// Which streams of a checked file a try decodes, and what the others say instead.
#pragma once

#include <cstddef>
#include <vector>

#include "diag/file_check.h"

namespace korvane {

// The streams of a checked file that a try decodes: video and audio that need a decoder.
std::vector<size_t> StreamsToTry(const FileCheck& file);

// The finding of a stream that StreamsToTry leaves out: why it is not tried.
TryFinding UntriedFinding(const FileCheck& file, size_t index);

}  // namespace korvane

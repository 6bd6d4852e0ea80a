// The Video for Windows trial: AVIFile reads the start of a stream, and a Video for Windows
// decompressor or an ACM driver decodes it, in the calling process.
#pragma once

#include <string>

#include "platform/decoder_trial.h"

namespace korvane {

TryFinding TryVideoForWindows(const std::string& path, size_t index);

}  // namespace korvane

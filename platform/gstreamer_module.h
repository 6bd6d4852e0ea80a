// korvane-gstreamer.so, the module that links the host's GStreamer, as korvane loads it
// (gstreamer_module.cc) and as the module exports it (gstreamer_host.cc).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gstreamer.h"

namespace korvane {

// The one function the module exports, under kGstreamerEntry: a new host (the caller owns
// it), or null and why in *whyNot when GStreamer cannot be started.
using GstreamerEntry = GstreamerHost* (*)(std::string* whyNot);
constexpr char kGstreamerEntry[] = "korvane_open_gstreamer";

// The folders a GStreamer of either view is looked for in when korvane cannot load it.
extern const std::vector<std::string> kHostLibraryFolders;

// The first libgstreamer-1.0.so.0 in the folders built for that many bits, "" when none is.
std::string FindGstreamerLibrary(int bits, const std::vector<std::string>& folders);

// OpenHostGstreamer with the folders a GStreamer of another view than korvane's own is
// looked for in.
std::unique_ptr<GstreamerHost> OpenGstreamerOfView(int viewBits,
                                                   const std::vector<std::string>& folders,
                                                   std::string* whyNot);

}  // namespace korvane

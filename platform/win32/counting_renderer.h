// The renderer at the end of each branch of the DirectShow trial's graph: it takes only
// decoded pictures and PCM, as a player's renderers do, so that Intelligent Connect must
// put a decoder in front of it, and it counts what arrives and discards it, so that
// nothing is drawn and nothing plays aloud.
#pragma once

#include <windows.h>
// The DirectShow interfaces need the Windows types first.
#include <strmif.h>

#include <string>

namespace korvane {

// What one renderer has received so far; read by the trial while the graph runs.
struct RendererCounts {
  bool connected = false;
  bool video = false;
  std::string format;    // "64x48 RGB24", "PCM, 22050 Hz, 16-bit, mono"
  unsigned samples = 0;  // counted, up to the renderer's limit
  bool ended = false;    // end of stream reached it
};

// The filter's name in the graph and in what the trial reports.
extern const wchar_t kCountingRendererName[];

// A new renderer with one reference, which the caller releases. arrived is signalled
// each time a sample or the end of the stream reaches it. It counts up to frames
// pictures or buffers sound buffers and discards the rest uncounted, so that what a try
// says does not depend on how far the graph got before it was stopped.
IBaseFilter* NewCountingRenderer(HANDLE arrived, unsigned frames, unsigned buffers);

// What the renderer made by NewCountingRenderer has received.
RendererCounts CountsOf(IBaseFilter* renderer);

}  // namespace korvane

// Trying a stream of an AVI file on the decoders of the machine this program runs on: what
// a trial finds, the names of the codes it meets, and the trials themselves. Trials run only
// on Windows (platform/win32/), each in a child process of its own, since a decoder that
// crashes takes its process down; elsewhere a Windows build of this program runs them
// under Wine.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

enum class TryOutcome {
  kDecodes,        // the decoder took the first frames or blocks and gave pictures or PCM
  kDoesNotDecode,  // no decoder, or it refused or failed with an error code
  kCrashed,        // the child died of an exception
  kHung,           // the child did not finish within the time limit
  kNotTried,       // nothing to try (uncompressed, not audio or video) or trying failed
};

struct TryFinding {
  TryOutcome outcome = TryOutcome::kNotTried;
  // What the try line says after "try: ": "decodes: 10 frames, 320x240, 24-bit",
  // "does not decode: no decompressor for 'MJPG'".
  std::string text;
  uint32_t exceptionCode = 0;  // kCrashed: the exception code, when it is known
  std::string module;          // kCrashed: the library the exception happened in, when known
};

// "decodes", "does not decode", "crashed", "hung", "not tried".
const char* TryOutcomeName(TryOutcome outcome);
std::optional<TryOutcome> TryOutcomeFromName(const std::string& name);

// "crashed: exception 0xC0000005 (access violation) in kvcrash.dll"
std::string CrashText(uint32_t code, const std::string& module);

// Names of the codes a try meets, "ICERR_BADFORMAT" or "error -2" when unknown.
std::string IcErrorName(long code);        // ICERR_*
std::string MmResultName(unsigned code);   // MMSYSERR_* and ACMERR_*
std::string AviErrorName(long code);       // AVIERR_* (HRESULTs of AVIFile)
std::string ExceptionName(uint32_t code);  // "access violation", or empty when unknown
// DirectShow and COM results (VFW_E_*, VFW_S_*, REGDB_E_*, CLASS_E_*, E_*), else "0x80040999".
std::string HresultName(long code);

// The ways a stream can be tried, each through a different part of Windows.
enum class DecoderTrial {
  kVideoForWindows,  // AVIFile reads the stream, a VfW decompressor or an ACM driver decodes it
};

struct GraphFinding;

// What a trial tells as it goes, so that a trial that never ends, or ends the process,
// still says where it was.
struct TrialObserver {
  // Before each step that may take the process down: "reading frame 3 through AVIFile".
  std::function<void(const std::string& stage)> stage;
  // The line written straight to standard output when an exception nothing handles ends
  // the process; the finding names the exception, the module and the last stage.
  std::function<std::string(const TryFinding& crash)> crashLine;
  // The DirectShow trial's finding, as soon as it is known and before the graph is stopped
  // and released, which can deadlock in Wine's GStreamer splitter.
  std::function<void(const GraphFinding& graph)> graphFound;
};

// Windows only. From here on an exception that nothing handles is told through
// observer.crashLine and ends the process with its exception code, without an error box.
void ReportCrashes(const TrialObserver& observer);

// Windows only. Decodes the start of stream index of the file at path with this machine's
// own decoders, in this process.
TryFinding TryStream(DecoderTrial trial, const std::string& path, size_t index,
                     const TrialObserver& observer);

// What building and running a DirectShow graph for a whole file found.
struct GraphFinding {
  TryFinding finding;  // the text is what follows "try (DirectShow): "
  // The filters the graph joined, one chain of names per renderer, source first:
  // {"File Source (Async.)", "AVI Splitter", "AVI Decompressor", "Null Renderer"}.
  std::vector<std::vector<std::string>> branches;
  unsigned frames = 0;  // video samples that reached the renderers
};

// A DirectShow decoder registered for a stream's media type, as the filter mapper offers it.
struct DecoderOffer {
  std::string clsid;  // "{...}"
  std::string name;   // its FriendlyName
};

// The decoders to make, to learn why a graph that did not decode left them out: each
// stream's first perStream offers (the mapper's order is merit order), none the graph
// already holds, none twice.
std::vector<DecoderOffer> DecodersToMake(const std::vector<std::vector<DecoderOffer>>& offers,
                                         const std::vector<std::string>& clsidsInGraph,
                                         size_t perStream);

// A decoder that could not be made and why.
struct UnmadeDecoder {
  std::string name;
  long hr = 0;
};

// What the try's text gains from them: "; Korvane test filter KVDN (no class) cannot be
// made: CLASS_E_CLASSNOTAVAILABLE", one part each, or nothing.
std::string UnmadeDecodersText(const std::vector<UnmadeDecoder>& unmade);

// Windows only. Builds the graph a DirectShow player builds for the file at path, with
// Intelligent Connect, but ends it in renderers of this program's own that count what
// they receive and discard it (renderers is how many: one for each audio and video stream
// of the file), runs it until the first frames and sound reach them, and says what was
// built and what arrived, in this process.
GraphFinding TryDirectShowGraph(const std::string& path, size_t renderers,
                                const TrialObserver& observer);

}  // namespace korvane

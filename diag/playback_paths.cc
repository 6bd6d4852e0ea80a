// Works out what a DirectShow player's graph and a Media Foundation player would take for a
// file's streams, from the machine's registrations.
#include "diag/playback_paths.h"

#include <algorithm>

#include "platform/ascii.h"

namespace korvane {

const char kAviDecompressorClsid[] = "{CF49D4E0-1115-11CE-B03A-0020AF0BA770}";
const char kAcmWrapperClsid[] = "{6A08CF80-0E18-11CF-A24D-0020AFD79767}";
const char kWineGstreamerSplitterClsid[] = "{F9D8D64E-A144-47DC-8EE0-F53498372C29}";

namespace {

bool Usable(const ComServer& server) { return server.facts.known && server.facts.loads; }

// What the graph builder would consider at all: a parsed registration above
// MERIT_DO_NOT_USE whose library loads.
bool Considered(const DirectShowFilter& filter) {
  return filter.filterDataParsed && filter.merit > kMeritDoNotUse && Usable(filter.server);
}

// A decoder names the stream's subtype itself. Filters that take any subtype of a major
// type (the Video Renderer, the Color Space Converter, the two wrappers) pass or show
// frames rather than decode them; the wrappers count only for a driver that was found.
bool NamesSubtype(const std::vector<MediaTypeGuids>& registered, const MediaTypeGuids& type) {
  for (const MediaTypeGuids& each : registered) {
    if (!EqualsIgnoringCase(each.subType, kGuidNull) && AcceptsMediaType({each}, type)) {
      return true;
    }
  }
  return false;
}

DirectShowDecoder DecoderOf(const std::string& name, const ComServer& server, uint32_t merit) {
  return {name, server.clsid, merit, server.library, Usable(server)};
}

const DirectShowFilter* FindFilter(const PlaybackRegistrations& registrations, const char* clsid) {
  for (const DirectShowFilter& filter : registrations.filters) {
    if (EqualsIgnoringCase(filter.server.clsid, clsid) && Considered(filter)) return &filter;
  }
  return nullptr;
}

// The wrapper that stands for a Video for Windows or ACM driver that was found and loads.
void AddWrapper(const PlaybackRegistrations& registrations, const AviStream& stream,
                const DecoderCheck& decoder, std::vector<DirectShowDecoder>* decoders) {
  if (!decoder.needsDecoder || !decoder.loads || !decoder.known()) return;
  const char* clsid = stream.isAudio() ? kAcmWrapperClsid : kAviDecompressorClsid;
  const DirectShowFilter* wrapper = FindFilter(registrations, clsid);
  if (wrapper == nullptr) return;
  decoders->push_back(DecoderOf(wrapper->name + " (" + decoder.registration.name + ")",
                                wrapper->server, wrapper->merit));
}

std::vector<DirectShowDecoder> StreamDecoders(const PlaybackRegistrations& registrations,
                                              const AviStream& stream,
                                              const DecoderCheck& decoder) {
  std::vector<DirectShowDecoder> decoders;
  const MediaTypeGuids type = StreamMediaType(stream);
  for (const DirectShowFilter& filter : registrations.filters) {
    if (Considered(filter) && NamesSubtype(filter.inputs, type)) {
      decoders.push_back(DecoderOf(filter.name, filter.server, filter.merit));
    }
  }
  AddWrapper(registrations, stream, decoder, &decoders);
  for (const MediaTransform& dmo : registrations.dmos) {
    const bool inCategory = stream.isAudio() ? dmo.audioDecoder : dmo.videoDecoder;
    if (inCategory && Usable(dmo.server) && AcceptsMediaType(dmo.inputs, type)) {
      decoders.push_back(DecoderOf(dmo.name, dmo.server, kDmoMerit));
    }
  }
  std::stable_sort(
      decoders.begin(), decoders.end(),
      [](const DirectShowDecoder& a, const DirectShowDecoder& b) { return a.merit > b.merit; });
  return decoders;
}

// The source or splitter the graph builder takes the file with: the highest merit among
// those that accept an AVI byte stream, the first registered on a tie.
const DirectShowFilter* WinningSplitter(const PlaybackRegistrations& registrations) {
  const DirectShowFilter* best = nullptr;
  for (const DirectShowFilter& filter : registrations.filters) {
    if (!Considered(filter) || !AcceptsMediaType(filter.inputs, AviFileMediaType())) continue;
    if (best == nullptr || filter.merit > best->merit) best = &filter;
  }
  return best;
}

bool HasTransform(const PlaybackRegistrations& registrations, const AviStream& stream) {
  const MediaTypeGuids type = StreamMediaType(stream);
  for (const MediaTransform& transform : registrations.transforms) {
    const bool inCategory = stream.isAudio() ? transform.audioDecoder : transform.videoDecoder;
    if (inCategory && Usable(transform.server) && AcceptsMediaType(transform.inputs, type)) {
      return true;
    }
  }
  return false;
}

bool StreamDecoded(const AviStream& stream) { return stream.isVideo() || stream.isAudio(); }

std::string CodecWords(const DecoderCheck& decoder) {
  return decoder.codecName + " (" + decoder.code + ")";
}

GstreamerStreamAnswer AskGstreamer(GstreamerHost& host, const AviStream& stream) {
  return stream.isAudio() ? host.AskAudio(stream.effectiveFormatTag())
                          : host.AskVideo(stream.compression);
}

// What the host's GStreamer lacks for a stream, in its own words where it has them.
std::string GstreamerNeed(const GstreamerStreamAnswer& answer, const DecoderCheck& decoder) {
  if (!answer.missing.empty()) return "a GStreamer " + answer.missing + " on the host";
  if (!answer.caps.empty()) return "a GStreamer decoder for " + answer.caps + " on the host";
  return "a GStreamer decoder for " + CodecWords(decoder) + " on the host";
}

// Behind Wine's GStreamer splitter the host's GStreamer demuxes and decodes every stream.
void WorkOutGstreamer(const AviWalk& walk, const std::vector<DecoderCheck>& decoders,
                      GstreamerOnDemand* gstreamer, FilePaths* paths) {
  GstreamerHost* host = gstreamer == nullptr ? nullptr : gstreamer->Get();
  if (host == nullptr) {
    const std::string why = gstreamer == nullptr ? "" : gstreamer->whyNot();
    paths->directshowNeeds.push_back("GStreamer on the host" +
                                     (why.empty() ? "" : " (" + why + ")"));
    return;
  }
  if (gstreamer->AviDemuxer().empty()) {
    paths->directshowNeeds.push_back("a GStreamer AVI demuxer (avidemux) on the host");
  }
  for (size_t i = 0; i < walk.streams.size(); ++i) {
    const AviStream& stream = walk.streams[i];
    if (!StreamDecoded(stream) || !stream.hasFormat) continue;
    const GstreamerStreamAnswer answer = AskGstreamer(*host, stream);
    paths->streams[i].gstreamer = answer;
    if (decoders[i].needsDecoder && !answer.decodes) {
      paths->directshowNeeds.push_back(GstreamerNeed(answer, decoders[i]));
    }
  }
}

void WorkOutDirectShow(const PlaybackRegistrations& registrations, const AviWalk& walk,
                       const std::vector<DecoderCheck>& decoders, GstreamerOnDemand* gstreamer,
                       FilePaths* paths) {
  for (size_t i = 0; i < walk.streams.size(); ++i) {
    const AviStream& stream = walk.streams[i];
    if (StreamDecoded(stream) && stream.hasFormat) {
      paths->streams[i].directshow = StreamDecoders(registrations, stream, decoders[i]);
    }
  }
  const DirectShowFilter* splitter = WinningSplitter(registrations);
  if (splitter == nullptr) {
    paths->directshowNeeds.push_back("an AVI splitter filter");
  } else {
    paths->splitter = splitter->name;
  }
  if (splitter != nullptr &&
      EqualsIgnoringCase(splitter->server.clsid, kWineGstreamerSplitterClsid)) {
    WorkOutGstreamer(walk, decoders, gstreamer, paths);
  } else {
    for (size_t i = 0; i < walk.streams.size(); ++i) {
      if (decoders[i].needsDecoder && paths->streams[i].directshow.empty()) {
        paths->directshowNeeds.push_back("a DirectShow decoder for " + CodecWords(decoders[i]));
      }
    }
  }
  paths->directshowPlayable = paths->directshowNeeds.empty();
}

bool MediaFoundationPlays(const PlaybackRegistrations& registrations, const AviWalk& walk,
                          const std::vector<DecoderCheck>& decoders) {
  if (!registrations.mediaFoundationReadsAvi) return false;
  for (size_t i = 0; i < walk.streams.size(); ++i) {
    if (decoders[i].needsDecoder && !HasTransform(registrations, walk.streams[i])) return false;
  }
  return true;
}

}  // namespace

GstreamerHost* GstreamerOnDemand::Get() {
  if (!opened_) {
    opened_ = true;
    if (opener_) host_ = opener_(&whyNot_);
    if (host_ == nullptr && whyNot_.empty()) whyNot_ = "it could not be opened";
  }
  return host_.get();
}

const std::string& GstreamerOnDemand::AviDemuxer() {
  if (!demuxer_) {
    GstreamerHost* host = Get();
    demuxer_ = host == nullptr ? std::string() : host->AviDemuxer();
  }
  return *demuxer_;
}

FilePaths WorkOutPaths(const PlaybackRegistrations& registrations, const AviWalk& walk,
                       const std::vector<DecoderCheck>& decoders, GstreamerOnDemand* gstreamer) {
  FilePaths paths;
  // Nothing to play: not an AVI file, no streams, or streams that were not checked.
  if (!walk.isAvi || walk.streams.empty() || decoders.size() != walk.streams.size()) return paths;
  paths.known = true;
  paths.streams.resize(walk.streams.size());
  WorkOutDirectShow(registrations, walk, decoders, gstreamer, &paths);
  paths.hasMediaFoundation = registrations.hasMediaFoundation;
  paths.mediaFoundationPlayable =
      registrations.hasMediaFoundation && MediaFoundationPlays(registrations, walk, decoders);
  return paths;
}

}  // namespace korvane

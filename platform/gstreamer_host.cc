// The inside of korvane-gstreamer.so: GStreamer's own answers. The riff library turns a
// FourCC or format tag into the caps GStreamer's AVI demuxer gives the stream, the
// registry says which decoder takes those caps, and pbutils names a missing one in words.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gst/riff/riff-media.h>
#include <gst/riff/riff.h>

#include <type_traits>

#include "platform/gstreamer_module.h"

namespace korvane {
namespace {

struct CapsUnref {
  void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
using Caps = std::unique_ptr<GstCaps, CapsUnref>;

struct FactoryListFree {
  void operator()(GList* list) const { gst_plugin_feature_list_free(list); }
};
using FactoryList = std::unique_ptr<GList, FactoryListFree>;

std::string TakeText(gchar* text) {
  std::string copy = text != nullptr ? text : "";
  g_free(text);
  return copy;
}

// Whether every structure of the caps is uncompressed samples.
bool IsRaw(const GstCaps* caps) {
  const guint count = gst_caps_get_size(caps);
  for (guint i = 0; i < count; ++i) {
    const GstStructure* structure = gst_caps_get_structure(caps, i);
    if (!gst_structure_has_name(structure, "video/x-raw") &&
        !gst_structure_has_name(structure, "audio/x-raw"))
      return false;
  }
  return count > 0;
}

// The name of the highest-ranked factory of the list whose sink pads take the caps, as
// decodebin would choose it; "" when none does.
std::string BestTaking(GList* factories, const GstCaps* caps) {
  FactoryList taking(gst_element_factory_list_filter(factories, caps, GST_PAD_SINK, FALSE));
  if (!taking) return "";
  GList* sorted = g_list_sort(taking.release(), gst_plugin_feature_rank_compare_func);
  taking.reset(sorted);
  return gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(sorted->data));
}

class HostGstreamer : public GstreamerHost {
 public:
  std::string AviDemuxer() override {
    FactoryList demuxers(
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DEMUXER, GST_RANK_MARGINAL));
    Caps avi(gst_caps_new_empty_simple("video/x-msvideo"));
    return BestTaking(demuxers.get(), avi.get());
  }

  GstreamerStreamAnswer AskVideo(uint32_t fourcc) override {
    return Answer(
        Caps(gst_riff_create_video_caps(fourcc, nullptr, nullptr, nullptr, nullptr, nullptr)));
  }

  GstreamerStreamAnswer AskAudio(uint16_t formatTag) override {
    return Answer(Caps(gst_riff_create_audio_caps(formatTag, nullptr, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr)));
  }

 private:
  GstreamerStreamAnswer Answer(Caps caps) {
    GstreamerStreamAnswer answer;
    if (!caps) {
      answer.known = false;
      return answer;
    }
    answer.caps = TakeText(gst_caps_to_string(caps.get()));
    if (IsRaw(caps.get())) {
      answer.raw = true;
      answer.decodes = true;
      return answer;
    }
    answer.element = BestTaking(Decoders(), caps.get());
    answer.decodes = !answer.element.empty();
    if (!answer.decodes)
      answer.missing = TakeText(gst_pb_utils_get_decoder_description(caps.get()));
    return answer;
  }

  // The registry's decoders, read once per host.
  GList* Decoders() {
    if (!decoders_) {
      decoders_.reset(gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER,
                                                            GST_RANK_MARGINAL));
    }
    return decoders_.get();
  }

  FactoryList decoders_;
};

// Starts GStreamer for the process; "" when it started, else why not.
std::string StartGstreamer() {
  GError* error = nullptr;
  if (!gst_init_check(nullptr, nullptr, &error)) {
    std::string reason = std::string("GStreamer did not start: ") +
                         (error != nullptr ? error->message : "no reason given");
    g_clear_error(&error);
    return reason;
  }
  gst_riff_init();
  gst_pb_utils_init();
  return "";
}

}  // namespace
}  // namespace korvane

extern "C" __attribute__((visibility("default"))) korvane::GstreamerHost* korvane_open_gstreamer(
    std::string* whyNot) {
  static const std::string notStarted = korvane::StartGstreamer();
  if (!notStarted.empty()) {
    if (whyNot) *whyNot = notStarted;
    return nullptr;
  }
  return new korvane::HostGstreamer;
}

// The entry keeps the type korvane calls it through.
static_assert(std::is_same<decltype(&korvane_open_gstreamer), korvane::GstreamerEntry>::value,
              "the module's entry and korvane's call disagree");

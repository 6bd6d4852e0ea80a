// The ways a file plays beside Video for Windows: which DirectShow splitter and decoders a
// player's graph would take, Media Foundation, the host's GStreamer behind Wine's splitter,
// and the verdict that names them, over registrations built by hand.
#include "diag/playback_paths.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/checked_file_fixture.h"

namespace korvane {
namespace {

// The GUIDs as DirectShow writes them, spelled out here rather than made by the code.
const char kVideo[] = "{73646976-0000-0010-8000-00AA00389B71}";
const char kAudio[] = "{73647561-0000-0010-8000-00AA00389B71}";
const char kCvid[] = "{64697663-0000-0010-8000-00AA00389B71}";
const char kMjpg[] = "{47504A4D-0000-0010-8000-00AA00389B71}";
const char kMp3[] = "{00000055-0000-0010-8000-00AA00389B71}";
const char kStream[] = "{E436EB83-524F-11CE-9F53-0020AF0BA770}";
const char kAviSubtype[] = "{E436EB88-524F-11CE-9F53-0020AF0BA770}";
const char kNull[] = "{00000000-0000-0000-0000-000000000000}";

ComServer Server(const std::string& clsid, const std::string& library, bool loads) {
  ComServer server;
  server.clsid = clsid;
  server.hasServer = true;
  server.library = library;
  server.libraryPath = "C:\\WINDOWS\\SYSTEM\\" + library;
  server.facts.found = true;
  server.facts.loads = loads;
  return server;
}

DirectShowFilter Filter(const std::string& name, const std::string& clsid, uint32_t merit,
                        std::vector<MediaTypeGuids> inputs, bool loads = true) {
  DirectShowFilter filter;
  filter.name = name;
  filter.server = Server(clsid, name.substr(0, name.find(' ')) + ".dll", loads);
  filter.filterDataParsed = true;
  filter.merit = merit;
  filter.inputs = std::move(inputs);
  filter.outputs = {{kVideo, kNull}};
  return filter;
}

MediaTransform Transform(const std::string& name, bool videoDecoder, bool audioDecoder,
                         std::vector<MediaTypeGuids> inputs) {
  MediaTransform transform;
  transform.name = name;
  transform.server =
      Server("{11111111-2222-3333-4444-" + std::string(12, name[0]) + "}", "dmo.dll", true);
  transform.videoDecoder = videoDecoder;
  transform.audioDecoder = audioDecoder;
  transform.inputs = std::move(inputs);
  return transform;
}

const DirectShowFilter kAviSplitter =
    Filter("AVI Splitter", "{1B544C20-FD0B-11CE-8C63-00AA0044B51E}", kMeritNormal,
           {{kStream, kAviSubtype}});
const DirectShowFilter kAviDecompressor =
    Filter("AVI Decompressor", kAviDecompressorClsid, 0x5FFFF0, {{kVideo, kNull}});
const DirectShowFilter kAcmWrapper =
    Filter("ACM Wrapper", kAcmWrapperClsid, 0x5FFFF0, {{kAudio, kNull}});
const DirectShowFilter kVideoRenderer = Filter(
    "Video Renderer", "{70E102B0-5556-11CE-97C0-00AA0055595A}", kMeritPreferred, {{kVideo, kNull}});
const DirectShowFilter kMjpgFilter =
    Filter("Pack MJPEG Decoder", "{AAAAAAAA-0000-0000-0000-000000000001}", kMeritPreferred,
           {{kVideo, kMjpg}});
const DirectShowFilter kWineSplitter = Filter(
    "GStreamer splitter filter", kWineGstreamerSplitterClsid, kMeritPreferred, {{kStream, kNull}});

// The host's GStreamer as a test wants it: which FourCCs and tags it decodes.
struct GstreamerSetup {
  std::string demuxer = "avidemux";
  std::map<uint32_t, std::string> video;  // FourCC -> decoder element, empty: none
  std::map<uint16_t, std::string> audio;
};

class FakeGstreamer : public GstreamerHost {
 public:
  explicit FakeGstreamer(GstreamerSetup setup) : setup_(std::move(setup)) {}
  std::string AviDemuxer() override { return setup_.demuxer; }
  GstreamerStreamAnswer AskVideo(uint32_t fourcc) override {
    return Answer(fourcc == 0x47504A4D ? "image/jpeg" : "video/x-cinepak", setup_.video[fourcc]);
  }
  GstreamerStreamAnswer AskAudio(uint16_t tag) override {
    return Answer(tag == 0x55 ? "audio/mpeg, layer=(int)3" : "audio/x-unknown", setup_.audio[tag]);
  }

 private:
  static GstreamerStreamAnswer Answer(const std::string& caps, const std::string& element) {
    GstreamerStreamAnswer answer;
    answer.caps = caps;
    answer.decodes = !element.empty();
    answer.element = element;
    if (element.empty()) answer.missing = caps.substr(0, caps.find(',')) + " decoder";
    return answer;
  }
  GstreamerSetup setup_;
};

struct Case {
  const char* name;
  PlaybackRegistrations registrations;
  bool withMjpg;  // Cinepak and MP3, and Motion JPEG (no VfW decoder on the machine) or not
  std::string splitter;
  bool directshowPlayable;
  std::vector<std::vector<std::string>> decoders;  // per stream, best first
  std::string verdict;
  bool playable;
};

std::vector<std::string> DecoderNames(const StreamPaths& paths) {
  std::vector<std::string> names;
  for (const DirectShowDecoder& decoder : paths.directshow) names.push_back(decoder.name);
  return names;
}

PlaybackRegistrations Filters(std::vector<DirectShowFilter> filters) {
  PlaybackRegistrations registrations;
  registrations.filters = std::move(filters);
  return registrations;
}

PlaybackRegistrations WithDmos(PlaybackRegistrations registrations,
                               std::vector<MediaTransform> dmos) {
  registrations.dmos = std::move(dmos);
  return registrations;
}

PlaybackRegistrations WithMediaFoundation(PlaybackRegistrations registrations, bool readsAvi,
                                          std::vector<MediaTransform> transforms) {
  registrations.hasMediaFoundation = true;
  registrations.mediaFoundationReadsAvi = readsAvi;
  registrations.transforms = std::move(transforms);
  return registrations;
}

DirectShowFilter Broken(DirectShowFilter filter) {
  filter.server.facts.loads = false;
  filter.server.facts.whyNot = "not a valid Win32 application";
  return filter;
}

DirectShowFilter AtMerit(DirectShowFilter filter, uint32_t merit) {
  filter.merit = merit;
  return filter;
}

DirectShowFilter Unparsed(DirectShowFilter filter) {
  filter.filterDataParsed = false;
  return filter;
}

class PlaybackPathsTest : public test::CheckedFileTest {
 protected:
  FileCheck CheckWith(const PlaybackRegistrations& registrations, bool withMjpg,
                      GstreamerOnDemand* gstreamer = nullptr) {
    FileCheck file =
        withMjpg ? CheckFile("three.avi", {test::VideoStream("cvid"), test::AudioStream(0x0055),
                                           test::VideoStream("MJPG")})
                 : CheckFile("two.avi", {test::VideoStream("cvid"), test::AudioStream(0x0055)});
    SetPlaybackPaths(registrations, gstreamer, &file);
    return file;
  }
};

const char kMjpgAdvice[] = "install a Video for Windows decoder for Motion JPEG (MJPG): vidc.MJPG";

TEST_F(PlaybackPathsTest, SplitterDecodersAndVerdictFollowTheRegistrations) {
  const DirectShowFilter lowSplitter =
      Filter("Old Splitter", "{BBBBBBBB-0000-0000-0000-000000000001}", kMeritUnlikely,
             {{kStream, kAviSubtype}});
  const std::vector<DirectShowFilter> classic = {kAviSplitter, kAviDecompressor, kAcmWrapper,
                                                 kVideoRenderer};
  const MediaTransform mjpgDmo = Transform("MJPEG Decoder DMO", true, false, {{kVideo, kMjpg}});
  const MediaTransform encoderDmo = Transform("MJPEG Encoder DMO", false, false, {{kVideo, kMjpg}});
  std::vector<DirectShowFilter> withMjpgFilter = classic;
  withMjpgFilter.push_back(kMjpgFilter);
  std::vector<DirectShowFilter> lowFirst = {lowSplitter};
  lowFirst.insert(lowFirst.end(), classic.begin(), classic.end());
  const std::string mjpgMissing = std::string(kMjpgAdvice) +
                                  "; DirectShow players (AVI Splitter) need a DirectShow decoder "
                                  "for Motion JPEG (MJPG)";
  const Case cases[] = {
      {"the classic set plays what Video for Windows plays",
       Filters(classic),
       false,
       "AVI Splitter",
       true,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}},
       "playable here in Video for Windows programs and DirectShow players (AVI Splitter)",
       true},
      {"the wrappers never stand for a driver that is missing",
       Filters(classic),
       true,
       "AVI Splitter",
       false,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}, {}},
       mjpgMissing,
       false},
      {"a higher merit wins though registered later",
       Filters(lowFirst),
       false,
       "AVI Splitter",
       true,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}},
       "playable here in Video for Windows programs and DirectShow players (AVI Splitter)",
       true},
      {"a splitter at MERIT_DO_NOT_USE, one that does not load and one that does not parse "
       "are passed over",
       Filters({lowSplitter, AtMerit(kAviSplitter, kMeritDoNotUse), kAviDecompressor, kAcmWrapper,
                Broken(AtMerit(kAviSplitter, kMeritPreferred)),
                Unparsed(AtMerit(kAviSplitter, kMeritPreferred + 1))}),
       false,
       "Old Splitter",
       true,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}},
       "playable here in Video for Windows programs and DirectShow players (Old Splitter)",
       true},
      {"no splitter at all",
       Filters({kAviDecompressor, kAcmWrapper}),
       false,
       "",
       false,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}},
       "plays in Video for Windows programs; DirectShow players need an AVI splitter filter",
       true},
      {"without the AVI Decompressor registered, Cinepak has no DirectShow decoder",
       Filters({kAviSplitter, kAcmWrapper}),
       false,
       "AVI Splitter",
       false,
       {{}, {"ACM Wrapper (msacm.l3acm)"}},
       "plays in Video for Windows programs; DirectShow players (AVI Splitter) need a "
       "DirectShow decoder for Cinepak (cvid)",
       true},
      {"a codec pack's filter plays what Video for Windows cannot",
       Filters(withMjpgFilter),
       true,
       "AVI Splitter",
       true,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}, {"Pack MJPEG Decoder"}},
       "plays in DirectShow players (AVI Splitter); Video for Windows programs need vidc.MJPG",
       true},
      {"a decoder whose library does not load is skipped, one at MERIT_DO_NOT_USE too",
       Filters({kAviSplitter, kAviDecompressor, kAcmWrapper, Broken(kMjpgFilter),
                AtMerit(kMjpgFilter, kMeritDoNotUse)}),
       true,
       "AVI Splitter",
       false,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}, {}},
       mjpgMissing,
       false},
      {"a DMO in a decoder category, ranked by its merit among the filters",
       WithDmos(Filters(withMjpgFilter), {encoderDmo, mjpgDmo}),
       true,
       "AVI Splitter",
       true,
       {{"AVI Decompressor (vidc.cvid)"},
        {"ACM Wrapper (msacm.l3acm)"},
        {"Pack MJPEG Decoder", "MJPEG Decoder DMO"}},
       "plays in DirectShow players (AVI Splitter); Video for Windows programs need vidc.MJPG",
       true},
      {"Media Foundation with a transform for every stream",
       WithMediaFoundation(Filters(classic), true,
                           {Transform("Cinepak MFT", true, false, {{kVideo, kCvid}}),
                            Transform("MP3 MFT", false, true, {{kAudio, kMp3}})}),
       false,
       "AVI Splitter",
       true,
       {{"AVI Decompressor (vidc.cvid)"}, {"ACM Wrapper (msacm.l3acm)"}},
       "playable here in Video for Windows programs, DirectShow players (AVI Splitter) and "
       "Media Foundation players",
       true},
      {"Media Foundation alone plays it",
       WithMediaFoundation(Filters({kAviSplitter}), true,
                           {Transform("Any video MFT", true, false, {{kVideo, kNull}}),
                            Transform("MP3 MFT", false, true, {{kAudio, kMp3}})}),
       true,
       "AVI Splitter",
       false,
       {{}, {}, {}},
       "plays in Media Foundation players; Video for Windows programs need vidc.MJPG; "
       "DirectShow players (AVI Splitter) need a DirectShow decoder for Cinepak (cvid), a "
       "DirectShow decoder for MP3 (0x0055), a DirectShow decoder for Motion JPEG (MJPG)",
       true},
      {"Media Foundation without a source for .avi plays nothing",
       WithMediaFoundation(Filters({kAviSplitter}), false,
                           {Transform("Any video MFT", true, false, {{kVideo, kNull}}),
                            Transform("MP3 MFT", false, true, {{kAudio, kMp3}})}),
       true,
       "AVI Splitter",
       false,
       {{}, {}, {}},
       std::string(kMjpgAdvice) +
           "; DirectShow players (AVI Splitter) need a DirectShow decoder for Cinepak (cvid), a "
           "DirectShow decoder for MP3 (0x0055), a DirectShow decoder for Motion JPEG (MJPG)",
       false},
  };
  for (const Case& c : cases) {
    const FileCheck file = CheckWith(c.registrations, c.withMjpg);
    ASSERT_TRUE(file.paths.known) << c.name;
    EXPECT_EQ(file.paths.splitter, c.splitter) << c.name;
    EXPECT_EQ(file.paths.directshowPlayable, c.directshowPlayable) << c.name;
    ASSERT_EQ(file.paths.streams.size(), c.decoders.size()) << c.name;
    for (size_t i = 0; i < c.decoders.size(); ++i) {
      EXPECT_EQ(DecoderNames(file.paths.streams[i]), c.decoders[i]) << c.name << " stream " << i;
      EXPECT_FALSE(file.paths.streams[i].gstreamer) << c.name;
    }
    EXPECT_EQ(file.paths.vfwPlayable, !c.withMjpg) << c.name;
    EXPECT_EQ(file.verdict, c.verdict) << c.name;
    EXPECT_EQ(file.playable, c.playable) << c.name;
  }
}

TEST_F(PlaybackPathsTest, DecodersCarryTheirRegistrationBestMeritFirst) {
  std::vector<DirectShowFilter> filters = {kAviSplitter, kAviDecompressor, kAcmWrapper,
                                           AtMerit(kMjpgFilter, kMeritUnlikely)};
  filters.push_back(Filter("Second MJPEG", "{AAAAAAAA-0000-0000-0000-000000000002}",
                           kMeritPreferred, {{kNull, kMjpg}}));
  const FileCheck file = CheckWith(
      WithDmos(Filters(filters), {Transform("MJPEG Decoder DMO", true, false, {{kVideo, kMjpg}})}),
      true);
  const std::vector<DirectShowDecoder>& mjpg = file.paths.streams[2].directshow;
  ASSERT_EQ(mjpg.size(), 3u);
  EXPECT_EQ(mjpg[0].name, "Second MJPEG");
  EXPECT_EQ(mjpg[0].merit, kMeritPreferred);
  EXPECT_EQ(mjpg[0].clsid, "{AAAAAAAA-0000-0000-0000-000000000002}");
  EXPECT_EQ(mjpg[0].library, "Second.dll");
  EXPECT_TRUE(mjpg[0].loads);
  EXPECT_EQ(mjpg[1].name, "MJPEG Decoder DMO");
  EXPECT_EQ(mjpg[1].merit, kMeritNormal + 0x800);
  EXPECT_EQ(mjpg[1].library, "dmo.dll");
  EXPECT_EQ(mjpg[2].merit, kMeritUnlikely);
  const DirectShowDecoder& cinepak = file.paths.streams[0].directshow.at(0);
  EXPECT_EQ(cinepak.clsid, kAviDecompressorClsid);
  EXPECT_EQ(cinepak.merit, 0x5FFFF0u);
}

TEST_F(PlaybackPathsTest, WineSplitterAsksTheHostsGstreamerOncePerRun) {
  struct GstCase {
    const char* name;
    bool hasGstreamer;
    GstreamerSetup setup;
    bool directshowPlayable;
    std::vector<bool> decodes;  // per stream, as GStreamer answered
    std::string verdict;
  };
  GstreamerSetup all;
  all.video = {{0x64697663, "avdec_cinepak"}, {0x47504A4D, "jpegdec"}};
  all.audio = {{0x55, "mpg123audiodec"}};
  GstreamerSetup noJpeg = all;
  noJpeg.video.erase(0x47504A4D);
  GstreamerSetup noDemuxer = all;
  noDemuxer.demuxer.clear();
  const GstCase cases[] = {
      {"GStreamer decodes every stream",
       true,
       all,
       true,
       {true, true, true},
       "plays in DirectShow players (GStreamer splitter filter); Video for Windows programs need "
       "vidc.MJPG"},
      {"GStreamer lacks the Motion JPEG decoder",
       true,
       noJpeg,
       false,
       {true, true, false},
       std::string(kMjpgAdvice) +
           "; DirectShow players (GStreamer splitter filter) need a GStreamer image/jpeg decoder "
           "on the host"},
      {"GStreamer has no AVI demuxer",
       true,
       noDemuxer,
       false,
       {true, true, true},
       std::string(kMjpgAdvice) +
           "; DirectShow players (GStreamer splitter filter) need a GStreamer AVI demuxer "
           "(avidemux) on the host"},
      {"the host has no GStreamer for the view",
       false,
       all,
       false,
       {},
       std::string(kMjpgAdvice) +
           "; DirectShow players (GStreamer splitter filter) need GStreamer on the host (no "
           "32-bit GStreamer here)"},
  };
  const PlaybackRegistrations registrations =
      Filters({kAviSplitter, kWineSplitter, kAviDecompressor, kAcmWrapper});
  for (const GstCase& c : cases) {
    int opens = 0;
    GstreamerOnDemand gstreamer([&](std::string* whyNot) -> std::unique_ptr<GstreamerHost> {
      ++opens;
      if (!c.hasGstreamer) {
        *whyNot = "no 32-bit GStreamer here";
        return nullptr;
      }
      return std::make_unique<FakeGstreamer>(c.setup);
    });
    for (int run = 0; run < 2; ++run) {  // a second file asks the same GStreamer
      const FileCheck file = CheckWith(registrations, true, &gstreamer);
      EXPECT_EQ(file.paths.splitter, "GStreamer splitter filter") << c.name;
      EXPECT_EQ(file.paths.directshowPlayable, c.directshowPlayable) << c.name;
      EXPECT_EQ(file.playable, c.directshowPlayable) << c.name;
      EXPECT_EQ(file.verdict, c.verdict) << c.name;
      for (size_t i = 0; i < file.paths.streams.size(); ++i) {
        const auto& answer = file.paths.streams[i].gstreamer;
        ASSERT_EQ(answer.has_value(), !c.decodes.empty()) << c.name << " stream " << i;
        if (answer) {
          EXPECT_EQ(answer->decodes, c.decodes[i]) << c.name << " stream " << i;
        }
      }
    }
    EXPECT_EQ(opens, 1) << c.name;
  }
  // Where no GStreamer can be asked at all, nothing behind Wine's splitter is decoded.
  EXPECT_FALSE(CheckWith(registrations, true, nullptr).paths.directshowPlayable);
}

TEST_F(PlaybackPathsTest, GstreamerIsOpenedOnlyBehindWinesSplitter) {
  int opens = 0;
  GstreamerOnDemand gstreamer([&](std::string*) -> std::unique_ptr<GstreamerHost> {
    ++opens;
    return nullptr;
  });
  const FileCheck file = CheckWith(Filters({kAviSplitter, AtMerit(kWineSplitter, kMeritNormal - 1),
                                            kAviDecompressor, kAcmWrapper}),
                                   false, &gstreamer);
  EXPECT_EQ(file.paths.splitter, "AVI Splitter");
  EXPECT_EQ(opens, 0);
}

TEST_F(PlaybackPathsTest, WithoutRegistrationsTheVerdictStaysAsItWas) {
  for (const bool withMjpg : {false, true}) {
    const FileCheck before =
        withMjpg ? Check({})
                 : CheckFile("two.avi", {test::VideoStream("cvid"), test::AudioStream(0x55)});
    const FileCheck after = CheckWith(PlaybackRegistrations{}, withMjpg);
    EXPECT_FALSE(after.paths.known);
    EXPECT_EQ(after.verdict, before.verdict);
    EXPECT_EQ(after.verdict, withMjpg ? kMjpgAdvice : "playable here");
    EXPECT_EQ(after.playable, !withMjpg);
  }
  // A file that is not an AVI file keeps its verdict whatever the machine registers.
  FileCheck text = CheckAviFile(machine, ReadInstalledDrivers(machine),
                                scratch.Write("note.avi", "not RIFF at all"));
  const std::string verdict = text.verdict;
  SetPlaybackPaths(Filters({kAviSplitter}), nullptr, &text);
  EXPECT_FALSE(text.paths.known);
  EXPECT_EQ(text.verdict, verdict);
}

TEST_F(PlaybackPathsTest, TriesChangeTheVideoForWindowsPathOnly) {
  std::vector<DirectShowFilter> filters = {kAviSplitter, kAviDecompressor, kAcmWrapper,
                                           kMjpgFilter};
  FileCheck file = CheckWith(Filters(filters), true);
  file.tries = {T(TryOutcome::kCrashed, "crashed: exception 0xC0000005 (access violation)",
                  0xC0000005u, "iccvid.dll"),
                T(TryOutcome::kDecodes, "decodes: 1 block"),
                T(TryOutcome::kDoesNotDecode, "does not decode: no decompressor for 'MJPG'")};
  ApplyTries(&file);
  EXPECT_FALSE(file.paths.vfwPlayable);
  EXPECT_TRUE(file.playable);
  EXPECT_EQ(file.verdict,
            "plays in DirectShow players (AVI Splitter); Video for Windows programs need a working "
            "vidc.cvid, vidc.MJPG");
}

}  // namespace
}  // namespace korvane

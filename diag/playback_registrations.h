// The registrations through which DirectShow and Media Foundation players find the filters
// that take an AVI file apart and decode its streams: DirectShow filters (the legacy filter
// category with its FilterData), DMOs and Media Foundation transforms, each with the library
// that serves its CLSID. Read through the registry calls of a System, so the live machine,
// an offline one and a fake answer alike, in whichever view the System reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "avi/riff_walk.h"
#include "diag/decoder_check.h"
#include "platform/system.h"

namespace korvane {

// A media type as DirectShow registers it: major type and subtype GUIDs in the registry's
// text form, upper case with braces: "{73646976-0000-0010-8000-00AA00389B71}". GUID_NULL
// in a registration matches any type.
struct MediaTypeGuids {
  std::string majorType;
  std::string subType;
};

// The media types registrations name most, in that text form.
extern const char kGuidNull[];
extern const char kMediaTypeVideo[];
extern const char kMediaTypeAudio[];
extern const char kMediaTypeStream[];

// The GUID DirectShow makes from a FourCC or a format tag: {XXXXXXXX-0000-0010-8000-00AA00389B71}.
std::string GuidFromCode(uint32_t code);

// The merits DirectShow's graph builder weighs filters by.
constexpr uint32_t kMeritPreferred = 0x800000;
constexpr uint32_t kMeritNormal = 0x600000;
constexpr uint32_t kMeritUnlikely = 0x400000;
constexpr uint32_t kMeritDoNotUse = 0x200000;

// The COM server behind a registration: HKCR\CLSID\{clsid}\InprocServer32.
struct ComServer {
  std::string clsid;        // "{...}", upper case
  bool hasServer = false;   // the CLSID has an InprocServer32 key
  std::string library;      // its default value as registered, may be empty
  std::string libraryPath;  // the file the machine would load for it
  LibraryFacts facts;       // found, loads, why not
};

// What a filter does in a graph, from its pins: a source has no input pin, a splitter takes
// a byte stream (MEDIATYPE_Stream), a decoder takes video or audio and gives something out.
enum class FilterRole { kDecoder, kSplitter, kSource, kOther };
const char* FilterRoleName(FilterRole role);  // "decoder", "splitter", "source", "other"

struct DirectShowFilter {
  std::string name;  // FriendlyName
  FilterRole role = FilterRole::kOther;
  ComServer server;
  bool filterDataParsed = false;
  uint32_t merit = 0;
  std::vector<MediaTypeGuids> inputs;   // the media types of its input pins
  std::vector<MediaTypeGuids> outputs;  // and of its output pins
  std::string where;                    // the Instance key it is registered under
  std::vector<std::string> broken;      // what is wrong with it, one phrase each
};

// A DMO or a Media Foundation transform: a CLSID in decoder categories with input types.
struct MediaTransform {
  std::string name;
  ComServer server;
  std::vector<std::string> categories;  // category GUIDs it is registered in
  bool videoDecoder = false;
  bool audioDecoder = false;
  std::vector<MediaTypeGuids> inputs;
  std::string where;
  std::vector<std::string> broken;
};

// The category GUIDs DMOs and Media Foundation transforms that decode are registered in.
extern const char kDmoVideoDecoderCategory[];
extern const char kDmoAudioDecoderCategory[];
extern const char kMftVideoDecoderCategory[];
extern const char kMftAudioDecoderCategory[];
extern const char kLegacyFilterCategory[];  // CLSID_LegacyAmFilterCategory

struct PlaybackRegistrations {
  std::vector<DirectShowFilter> filters;  // the legacy filter category
  std::vector<MediaTransform> dmos;
  bool hasMediaFoundation = false;  // Windows 7 and later: its transforms key exists
  std::vector<MediaTransform> transforms;
  bool mediaFoundationReadsAvi = false;  // a byte-stream handler or source for .avi
  std::vector<std::string> notes;        // places that could not be read
};

// Reads every registration, asking libraries for the facts of each server library (once a
// library: many filters share one).
PlaybackRegistrations ReadPlaybackRegistrations(System& system, const LibraryLookup& libraries);

// The file the machine loads for an InprocServer32 value: quotes around it dropped,
// environment names of the Windows directory expanded, a bare name in the system directory, and a
// 32-bit program's "system32" where its system directory really is (syswow64 on a 64-bit machine
// seen from disk).
std::string ServerLibraryPath(const std::string& registered, const std::string& windowsDirectory,
                              const std::string& systemDirectory);

// The media type DirectShow's AVI splitter gives a stream: MEDIATYPE_Video with the subtype
// made from the compression FourCC (or the uncompressed subtype DirectShow names), or
// MEDIATYPE_Audio with the subtype made from the format tag.
MediaTypeGuids StreamMediaType(const AviStream& stream);
// MEDIATYPE_Stream with MEDIASUBTYPE_Avi: what a source or splitter takes an AVI file as.
MediaTypeGuids AviFileMediaType();
// Whether a registration's media types take type, GUID_NULL matching anything.
bool AcceptsMediaType(const std::vector<MediaTypeGuids>& registered, const MediaTypeGuids& type);

}  // namespace korvane

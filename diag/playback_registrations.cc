#include "diag/playback_registrations.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "platform/ascii.h"
#include "platform/byte_reader.h"
#include "platform/offline/formats/filter_data.h"
#include "platform/scoped_reg_key.h"

namespace korvane {

const char kGuidNull[] = "{00000000-0000-0000-0000-000000000000}";
const char kMediaTypeVideo[] = "{73646976-0000-0010-8000-00AA00389B71}";
const char kMediaTypeAudio[] = "{73647561-0000-0010-8000-00AA00389B71}";
const char kMediaTypeStream[] = "{E436EB83-524F-11CE-9F53-0020AF0BA770}";

std::string GuidFromCode(uint32_t code) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-0000-0010-8000-00AA00389B71}", code);
  return text;
}

namespace {

const char kMediaSubtypeAvi[] = "{E436EB88-524F-11CE-9F53-0020AF0BA770}";
constexpr uint32_t kStreamInterleavedType = 0x73766169;  // 'iavs': MEDIATYPE_Interleaved
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

// The uncompressed RGB subtypes DirectShow names by bit depth, E436EB78 to E436EB7E.
std::string RgbSubtype(uint16_t bitCount, uint32_t compression) {
  uint32_t first = 0;
  switch (bitCount) {
    case 1:
      first = 0xE436EB78;
      break;
    case 4:
      first = 0xE436EB79;
      break;
    case 8:
      first = 0xE436EB7A;
      break;
    case 16:
      first = compression == kBiBitfields ? 0xE436EB7B : 0xE436EB7C;
      break;
    case 24:
      first = 0xE436EB7D;
      break;
    case 32:
      first = 0xE436EB7E;
      break;
    default:
      return GuidFromCode(compression);
  }
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-524F-11CE-9F53-0020AF0BA770}", first);
  return text;
}

}  // namespace

MediaTypeGuids StreamMediaType(const AviStream& stream) {
  if (stream.type == kStreamInterleavedType)
    return {GuidFromCode(stream.type), GuidFromCode(stream.handler)};
  if (stream.isVideo()) {
    const bool rgb = stream.compression == kBiRgb || stream.compression == kBiBitfields;
    return {GuidFromCode(kStreamVideo), rgb ? RgbSubtype(stream.bitCount, stream.compression)
                                            : GuidFromCode(stream.compression)};
  }
  if (stream.isAudio())
    return {GuidFromCode(kStreamAudio), GuidFromCode(stream.effectiveFormatTag())};
  return {GuidFromCode(stream.type), GuidFromCode(stream.handler)};
}

MediaTypeGuids AviFileMediaType() { return {kMediaTypeStream, kMediaSubtypeAvi}; }

bool AcceptsMediaType(const std::vector<MediaTypeGuids>& registered, const MediaTypeGuids& type) {
  auto same = [](const std::string& a, const std::string& b) {
    return a == kGuidNull || EqualsIgnoringCase(a, b);
  };
  for (const MediaTypeGuids& each : registered) {
    if (same(each.majorType, type.majorType) && same(each.subType, type.subType)) return true;
  }
  return false;
}

namespace {

const char kMediaObjects[] = "DirectShow\\MediaObjects";
const char kTransforms[] = "SOFTWARE\\Classes\\MediaFoundation\\Transforms";
const char kAviByteStreamHandler[] =
    "SOFTWARE\\Microsoft\\Windows Media Foundation\\ByteStreamHandlers\\.avi";
constexpr uint32_t kKeyNameCapacity = 256;
constexpr size_t kTypePairSize = 32;  // DMO_PARTIAL_MEDIATYPE, MFT_REGISTER_TYPE_INFO

// A value's bytes however large (FilterData runs to kilobytes), or nullopt when it is not
// there.
std::optional<RegValue> QueryValue(System& system, RegKey key, const std::string& name) {
  for (uint32_t capacity : {4096u, 1u << 16, 1u << 24}) {
    RegValue value;
    const long result = system.RegQueryValueExA(key, name, capacity, &value);
    if (result == kErrorSuccess) return value;
    if (result != kErrorMoreData) return std::nullopt;
  }
  return std::nullopt;
}

// A string value's text up to its first zero; empty when it is missing or not text.
std::string QueryText(System& system, RegKey key, const std::string& name) {
  const std::optional<RegValue> value = QueryValue(system, key, name);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return std::string();
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

std::vector<std::string> SubkeyNames(System& system, RootKey root, const std::string& path) {
  std::vector<std::string> names;
  ScopedRegKey key(system);
  if (!key.Open(root, path, kKeyRead)) return names;
  std::string name;
  for (uint32_t i = 0; system.RegEnumKeyExA(key.get(), i, kKeyNameCapacity, &name) == kErrorSuccess;
       ++i) {
    names.push_back(name);
  }
  return names;
}

bool KeyExists(System& system, RootKey root, const std::string& path) {
  ScopedRegKey key(system);
  return key.Open(root, path, kKeyRead);
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Replaces a leading %NAME% (case ignored) with value.
bool ExpandLeading(std::string* text, const char* name, const std::string& value) {
  const std::string token = std::string("%") + name + "%";
  if (text->size() < token.size() || !EqualsIgnoringCase(text->substr(0, token.size()), token)) {
    return false;
  }
  text->replace(0, token.size(), value);
  return true;
}

// The library facts of each path, asked once.
class LibraryFactsCache {
 public:
  explicit LibraryFactsCache(const LibraryLookup& libraries) : libraries_(libraries) {}
  const LibraryFacts& Facts(const std::string& path) {
    const std::string key = Upper(path);
    auto it = known_.find(key);
    if (it == known_.end()) it = known_.emplace(key, libraries_(path)).first;
    return it->second;
  }

 private:
  const LibraryLookup& libraries_;
  std::map<std::string, LibraryFacts> known_;
};

class RegistrationReader {
 public:
  RegistrationReader(System& system, const LibraryLookup& libraries)
      : system_(system),
        cache_(libraries),
        windows_(system.GetWindowsDirectoryA()),
        systemDir_(system.GetSystemDirectoryA()) {}

  ComServer Server(const std::string& clsid, std::vector<std::string>* broken) {
    ComServer server;
    server.clsid = Upper(clsid);
    ScopedRegKey key(system_);
    const std::string path = "CLSID\\" + clsid + "\\InprocServer32";
    if (!key.Open(RootKey::kClassesRoot, path, kKeyRead)) {
      broken->push_back("CLSID " + server.clsid + " has no InprocServer32");
      return server;
    }
    server.hasServer = true;
    server.library = QueryText(system_, key.get(), "");
    if (server.library.empty()) {
      broken->push_back("InprocServer32 of " + server.clsid + " names no library");
      return server;
    }
    server.libraryPath = ServerLibraryPath(server.library, windows_, systemDir_);
    server.facts = cache_.Facts(server.libraryPath);
    if (!server.facts.known) return server;
    if (!server.facts.found) {
      broken->push_back("library " + server.library + " is missing");
    } else if (!server.facts.loads) {
      broken->push_back("library " + server.library + " does not load" +
                        (server.facts.whyNot.empty() ? "" : ": " + server.facts.whyNot));
    }
    return server;
  }

  DirectShowFilter Filter(const std::string& instance) {
    DirectShowFilter filter;
    filter.where = std::string("HKCR\\CLSID\\") + kLegacyFilterCategory + "\\Instance\\" + instance;
    ScopedRegKey key(system_);
    key.Open(RootKey::kClassesRoot,
             std::string("CLSID\\") + kLegacyFilterCategory + "\\Instance\\" + instance, kKeyRead);
    filter.name = QueryText(system_, key.get(), "FriendlyName");
    std::string clsid = QueryText(system_, key.get(), "CLSID");
    if (clsid.empty()) clsid = instance;
    if (filter.name.empty()) filter.name = clsid;
    ReadFilterData(QueryValue(system_, key.get(), "FilterData"), &filter);
    filter.server = Server(clsid, &filter.broken);
    return filter;
  }

  // A DMO or transform in the decoder categories under base, with its name and input types.
  // DMORegister and MFTRegister name the category and object keys by bare GUIDs
  // ("Categories\\57f2db8b-...\\bbeea841-..."); braced ones are read as well.
  void Transforms(RootKey root, const std::string& base, const char* video, const char* audio,
                  std::vector<MediaTransform>* into) {
    std::map<std::string, size_t> seen;
    for (const char* category : {video, audio}) {
      for (const std::string& spelling : {std::string(category), Bare(category)}) {
        for (const std::string& keyName :
             SubkeyNames(system_, root, base + "\\Categories\\" + spelling)) {
          const std::string clsid = Braced(keyName);
          auto it = seen.find(clsid);
          if (it == seen.end()) {
            it = seen.emplace(clsid, into->size()).first;
            into->push_back(Transform(root, base, keyName, clsid));
          }
          MediaTransform& transform = (*into)[it->second];
          std::vector<std::string>& categories = transform.categories;
          if (std::find(categories.begin(), categories.end(), category) != categories.end()) {
            continue;
          }
          categories.push_back(category);
          (category == video ? transform.videoDecoder : transform.audioDecoder) = true;
        }
      }
    }
  }

 private:
  // A GUID's text without its braces, and upper case with them.
  static std::string Bare(const std::string& guid) {
    return guid.size() > 2 && guid.front() == '{' && guid.back() == '}'
               ? guid.substr(1, guid.size() - 2)
               : guid;
  }
  static std::string Braced(const std::string& guid) { return "{" + Upper(Bare(guid)) + "}"; }

  void ReadFilterData(const std::optional<RegValue>& value, DirectShowFilter* filter) {
    if (!value) {
      filter->broken.push_back("no FilterData: the graph builder cannot match its pins");
      return;
    }
    std::string whyNot;
    const std::optional<FilterData> data =
        ParseFilterData(value->data.data(), value->data.size(), &whyNot);
    if (!data) {
      filter->broken.push_back(whyNot);
      return;
    }
    filter->filterDataParsed = true;
    filter->merit = data->merit;
    bool takesStream = false;
    bool takesMedia = false;
    bool hasInput = false;
    for (const FilterDataPin& pin : data->pins) {
      std::vector<MediaTypeGuids>& list = pin.output() ? filter->outputs : filter->inputs;
      hasInput = hasInput || !pin.output();
      for (const FilterDataMediaType& type : pin.mediaTypes) {
        list.push_back({type.majorType, type.subType});
        if (pin.output()) continue;
        takesStream = takesStream || type.majorType == AviFileMediaType().majorType;
        takesMedia =
            takesMedia || type.majorType == kMediaTypeVideo || type.majorType == kMediaTypeAudio;
      }
    }
    const bool givesOut = data->pins.size() > filter->inputs.size() || !filter->outputs.empty();
    if (!hasInput && !data->pins.empty()) {
      filter->role = FilterRole::kSource;
    } else if (takesStream) {
      filter->role = FilterRole::kSplitter;
    } else if (takesMedia && givesOut) {
      filter->role = FilterRole::kDecoder;
    }
  }

  // keyName as the category lists it; clsid braced, as HKCR\CLSID names it.
  MediaTransform Transform(RootKey root, const std::string& base, const std::string& keyName,
                           const std::string& clsid) {
    MediaTransform transform;
    transform.where = (root == RootKey::kClassesRoot ? "HKCR\\" : "HKLM\\") + base + "\\" + keyName;
    ScopedRegKey key(system_);
    if (!key.Open(root, base + "\\" + keyName, kKeyRead)) {
      transform.broken.push_back("registered in a category but not under " + base);
    } else {
      transform.name = QueryText(system_, key.get(), "");
      ReadTypePairs(QueryValue(system_, key.get(), "InputTypes"), &transform);
    }
    if (transform.name.empty()) transform.name = clsid;
    transform.server = Server(clsid, &transform.broken);
    return transform;
  }

  static void ReadTypePairs(const std::optional<RegValue>& value, MediaTransform* transform) {
    if (!value) return;
    const std::vector<uint8_t>& bytes = value->data;
    if (bytes.size() % kTypePairSize != 0) {
      transform->broken.push_back("InputTypes is " + std::to_string(bytes.size()) +
                                  " bytes, not whole pairs of 32");
    }
    for (size_t at = 0; at + kTypePairSize <= bytes.size(); at += kTypePairSize) {
      transform->inputs.push_back({GuidText(bytes.data() + at), GuidText(bytes.data() + at + 16)});
    }
  }

  System& system_;
  LibraryFactsCache cache_;
  std::string windows_;
  std::string systemDir_;
};

}  // namespace

const char kDmoVideoDecoderCategory[] = "{4A69B442-28BE-4991-969C-B500ADF5D8A8}";
const char kDmoAudioDecoderCategory[] = "{57F2DB8B-E6BB-4513-9D43-DCD2A6593125}";
const char kMftVideoDecoderCategory[] = "{D6C02D4B-6833-45B4-971A-05A4B04BAB91}";
const char kMftAudioDecoderCategory[] = "{9EA73FB4-EF7A-4559-8D5D-719D8F0426C7}";
const char kLegacyFilterCategory[] = "{083863F1-70DE-11D0-BD40-00A0C911CE86}";

const char* FilterRoleName(FilterRole role) {
  switch (role) {
    case FilterRole::kDecoder:
      return "decoder";
    case FilterRole::kSplitter:
      return "splitter";
    case FilterRole::kSource:
      return "source";
    case FilterRole::kOther:
      break;
  }
  return "other";
}

std::string ServerLibraryPath(const std::string& registered, const std::string& windowsDirectory,
                              const std::string& systemDirectory) {
  std::string path = registered;
  // Some installers quote the path, which the loader takes without the quotes.
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
    path = path.substr(1, path.size() - 2);
  }
  if (!ExpandLeading(&path, "SystemRoot", windowsDirectory)) {
    ExpandLeading(&path, "windir", windowsDirectory);
  }
  if (path.find_first_of(":\\") == std::string::npos) return systemDirectory + "\\" + path;
  const std::string system32 = windowsDirectory + "\\system32";
  if (path.size() > system32.size() && path[system32.size()] == '\\' &&
      EqualsIgnoringCase(path.substr(0, system32.size()), system32) &&
      !EqualsIgnoringCase(systemDirectory, system32)) {
    path.replace(0, system32.size(), systemDirectory);
  }
  return path;
}

PlaybackRegistrations ReadPlaybackRegistrations(System& system, const LibraryLookup& libraries) {
  PlaybackRegistrations found;
  RegistrationReader reader(system, libraries);
  const std::string instances = std::string("CLSID\\") + kLegacyFilterCategory + "\\Instance";
  for (const std::string& instance : SubkeyNames(system, RootKey::kClassesRoot, instances)) {
    found.filters.push_back(reader.Filter(instance));
  }
  reader.Transforms(RootKey::kClassesRoot, kMediaObjects, kDmoVideoDecoderCategory,
                    kDmoAudioDecoderCategory, &found.dmos);
  found.hasMediaFoundation = KeyExists(system, RootKey::kLocalMachine, kTransforms);
  if (found.hasMediaFoundation) {
    reader.Transforms(RootKey::kLocalMachine, kTransforms, kMftVideoDecoderCategory,
                      kMftAudioDecoderCategory, &found.transforms);
    found.mediaFoundationReadsAvi =
        KeyExists(system, RootKey::kLocalMachine, kAviByteStreamHandler);
  }
  return found;
}

}  // namespace korvane

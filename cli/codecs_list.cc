// The decoders of a machine in one list, and the two ways korvane codecs writes it.
#include "cli/codecs_list.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "cli/json_output.h"
#include "platform/ascii.h"
#include "platform/byte_reader.h"

namespace korvane {
namespace {

const char kFourCCGuidTail[] = "-0000-0010-8000-00AA00389B71}";
const char kVideoPrefix[] = "vidc.";
const char kAudioPrefix[] = "msacm.";

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// A FourCC's media subtype as DirectShow forms it; a name shorter than four characters is
// padded with spaces, as FourCCs are.
std::string FourCCSubtype(const std::string& code) {
  std::string four = code.substr(0, 4);
  four.resize(4, ' ');
  return GuidFromCode(FourCC(four));
}

void AddLibraryFacts(const LibraryLookup& libraries, CodecItem* item) {
  if (item->path.empty()) {
    item->facts.known = false;
    return;
  }
  item->facts = libraries(item->path);
  if (!item->facts.found) {
    item->broken.push_back("library " + item->library + " is missing");
  } else if (!item->facts.loads) {
    item->broken.push_back("library " + item->library + " does not load" +
                           (item->facts.whyNot.empty() ? "" : ": " + item->facts.whyNot));
  }
}

// The vidc.* and msacm.* entries of [drivers32] and the drivers32 key.
void ListDrivers(const InstalledDrivers& drivers, const LibraryLookup& libraries, CodecList* list) {
  for (const DriverEntry& entry : drivers.entries) {
    const bool video = StartsWithIgnoringCase(entry.name, kVideoPrefix);
    if (!video && !StartsWithIgnoringCase(entry.name, kAudioPrefix)) continue;
    CodecItem item;
    item.name = entry.name;
    item.library = entry.value;
    item.path = entry.value.empty() ? std::string()
                                    : DriverLibraryPath(entry.value, drivers.systemDirPrefix);
    item.where = entry.where;
    if (video) {
      item.inputs.push_back(
          {kMediaTypeVideo, FourCCSubtype(entry.name.substr(sizeof kVideoPrefix - 1))});
    }
    if (entry.value.empty()) item.broken.push_back("the entry names no library");
    AddLibraryFacts(libraries, &item);
    (video ? list->vfw : list->acm).push_back(std::move(item));
  }
}

CodecItem ServerItem(const std::string& name, const ComServer& server, const std::string& where,
                     const std::vector<std::string>& broken) {
  CodecItem item;
  item.name = name;
  item.clsid = server.clsid;
  item.library = server.library;
  item.path = server.libraryPath;
  item.facts = server.facts;
  if (server.libraryPath.empty()) item.facts.known = false;
  item.where = where;
  item.broken = broken;
  return item;
}

// Decoders, and the sources and splitters that take an AVI file; filters whose FilterData
// cannot be read are listed too, since that is what is wrong with them.
bool ListedFilter(const DirectShowFilter& filter) {
  switch (filter.role) {
    case FilterRole::kDecoder:
      return true;
    case FilterRole::kSplitter:
      return AcceptsMediaType(filter.inputs, AviFileMediaType());
    case FilterRole::kSource:
      return AcceptsMediaType(filter.outputs, AviFileMediaType());
    case FilterRole::kOther:
      break;
  }
  return !filter.filterDataParsed;
}

void ListRegistrations(const PlaybackRegistrations& found, CodecList* list) {
  for (const DirectShowFilter& filter : found.filters) {
    if (!ListedFilter(filter)) continue;
    CodecItem item = ServerItem(filter.name, filter.server, filter.where, filter.broken);
    if (filter.filterDataParsed) item.merit = filter.merit;
    item.role = FilterRoleName(filter.role);
    item.inputs = filter.inputs;
    list->directshow.push_back(std::move(item));
  }
  std::stable_sort(list->directshow.begin(), list->directshow.end(),
                   [](const CodecItem& a, const CodecItem& b) {
                     if (a.merit.value_or(0) != b.merit.value_or(0)) {
                       return a.merit.value_or(0) > b.merit.value_or(0);
                     }
                     return AsciiLower(a.name) < AsciiLower(b.name);
                   });
  for (const auto& [transforms, into] :
       {std::make_pair(&found.dmos, &list->dmo),
        std::make_pair(&found.transforms, &list->mediafoundation)}) {
    for (const MediaTransform& transform : *transforms) {
      CodecItem item =
          ServerItem(transform.name, transform.server, transform.where, transform.broken);
      item.inputs = transform.inputs;
      into->push_back(std::move(item));
    }
    std::stable_sort(into->begin(), into->end(), [](const CodecItem& a, const CodecItem& b) {
      return AsciiLower(a.name) < AsciiLower(b.name);
    });
  }
  list->hasMediaFoundation = found.hasMediaFoundation;
  list->mediaFoundationReadsAvi = found.mediaFoundationReadsAvi;
}

// A media type in words: "video MJPG", "audio 0x0055", "stream AVI", "video any".
std::string MajorWords(const std::string& guid) {
  static const std::map<std::string, std::string> kNames = {
      {kMediaTypeVideo, "video"},
      {kMediaTypeAudio, "audio"},
      {"{73766169-0000-0010-8000-00AA00389B71}", "interleaved"},
      {kMediaTypeStream, "stream"},
      {kGuidNull, "any"},
  };
  const auto it = kNames.find(guid);
  return it == kNames.end() ? guid : it->second;
}

std::string SubtypeWords(const std::string& major, const std::string& guid) {
  if (guid == kGuidNull) return "any";
  if (guid == AviFileMediaType().subType) return "AVI";
  const size_t tail = sizeof kFourCCGuidTail - 1;
  if (guid.size() == 9 + tail && guid.compare(9, tail, kFourCCGuidTail) == 0) {
    const uint32_t code = static_cast<uint32_t>(std::stoul(guid.substr(1, 8), nullptr, 16));
    char text[16];
    if (major == "audio" && code <= 0xFFFF) {
      std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(code));
      return text;
    }
    return FourCCText(code);
  }
  return guid;
}

std::string LibraryWords(const CodecItem& item) {
  if (item.library.empty()) return "none registered";
  std::string text = item.library;
  if (item.path != item.library) text += " (" + item.path + ")";
  if (!item.facts.known) return text;
  return text + (item.facts.loads ? ", loads" : item.facts.found ? ", does not load" : ", missing");
}

std::string ItemLines(const CodecItem& item, bool explain) {
  std::string out = "  " + item.name + "\n";
  if (!item.clsid.empty()) {
    out += "    " + item.clsid;
    if (!item.role.empty()) out += ", " + item.role;
    if (item.merit) {
      char merit[24];
      std::snprintf(merit, sizeof merit, ", merit 0x%08X", static_cast<unsigned>(*item.merit));
      out += merit;
    }
    out += "\n";
  }
  out += "    library: " + LibraryWords(item) + "\n";
  if (explain && item.facts.known && !item.facts.loads && !item.facts.whyNot.empty()) {
    out += "    reason: " + item.facts.whyNot + "\n";
  }
  if (!item.inputs.empty()) {
    std::string takes;
    for (const MediaTypeGuids& type : item.inputs) {
      const std::string major = MajorWords(type.majorType);
      takes += (takes.empty() ? "" : ", ") + major + " " + SubtypeWords(major, type.subType);
    }
    out += "    takes: " + takes + "\n";
  }
  out += "    registered: " + item.where + "\n";
  for (const std::string& problem : item.broken) out += "    broken: " + problem + "\n";
  return out;
}

std::string GroupLines(const char* title, const std::vector<CodecItem>& items, bool explain) {
  std::string out = std::string("\n") + title + ": " +
                    (items.empty() ? std::string("none") : std::to_string(items.size())) + "\n";
  for (const CodecItem& item : items) out += ItemLines(item, explain);
  return out;
}

Json NullOr(const std::string& text) { return text.empty() ? Json() : JsonText(text); }

Json ItemJson(const CodecItem& item, bool directshow) {
  Json json;
  json["name"] = JsonText(item.name);
  json["clsid"] = NullOr(item.clsid);
  if (directshow) json["role"] = item.role;
  json["merit"] = item.merit ? Json(*item.merit) : Json();
  json["library"] = NullOr(item.library);
  json["path"] = NullOr(item.path);
  json["found"] = item.facts.known ? Json(item.facts.found) : Json();
  json["loads"] = item.facts.known ? Json(item.facts.loads) : Json();
  json["inputs"] = Json::array();
  for (const MediaTypeGuids& type : item.inputs) {
    Json input;
    input["major"] = type.majorType;
    input["subtype"] = type.subType;
    json["inputs"].push_back(std::move(input));
  }
  json["where"] = JsonText(item.where);
  json["broken"] = JsonTextList(item.broken);
  return json;
}

Json GroupJson(const std::vector<CodecItem>& items, bool directshow) {
  Json group = Json::array();
  for (const CodecItem& item : items) group.push_back(ItemJson(item, directshow));
  return group;
}

}  // namespace

CodecList ListCodecs(System& system, const std::string& label) {
  CodecList list;
  list.machine = ReadCheckedMachine(system, label);
  std::map<std::string, LibraryFacts> asked;
  const LibraryLookup libraries = [&system, &asked](const std::string& path) {
    const std::string key = AsciiLower(path);
    auto it = asked.find(key);
    if (it == asked.end()) it = asked.emplace(key, ProbeLibraryFacts(system, path)).first;
    return it->second;
  };
  ListDrivers(list.machine.drivers, libraries, &list);
  ListRegistrations(ReadPlaybackRegistrations(system, libraries), &list);
  return list;
}

std::string CodecLines(const CodecList& list, bool explain) {
  std::string out = "machine: " + list.machine.label + ", " + list.machine.version + "\n";
  for (const std::string& note : list.machine.drivers.notes) out += "  note: " + note + "\n";
  out += GroupLines("Video for Windows decoders (vidc.*)", list.vfw, explain);
  out += GroupLines("ACM drivers (msacm.*)", list.acm, explain);
  out += GroupLines("DirectShow filters (decoders, and sources and splitters for AVI)",
                    list.directshow, explain);
  out += GroupLines("DMOs (decoder categories)", list.dmo, explain);
  if (!list.hasMediaFoundation) return out + "\nMedia Foundation: not on this machine\n";
  out +=
      GroupLines("Media Foundation transforms (decoder categories)", list.mediafoundation, explain);
  return out + "Media Foundation " + (list.mediaFoundationReadsAvi ? "has" : "has no") +
         " byte-stream handler for .avi\n";
}

std::string CodecJson(const CodecList& list) {
  Json json;
  json["machine"]["name"] = JsonText(list.machine.label);
  json["machine"]["version"] = JsonText(list.machine.version);
  json["machine"]["notes"] = JsonTextList(list.machine.drivers.notes);
  json["machine"]["hasMediaFoundation"] = list.hasMediaFoundation;
  json["machine"]["mediaFoundationReadsAvi"] = list.mediaFoundationReadsAvi;
  json["vfw"] = GroupJson(list.vfw, false);
  json["acm"] = GroupJson(list.acm, false);
  json["directshow"] = GroupJson(list.directshow, true);
  json["dmo"] = GroupJson(list.dmo, false);
  json["mediafoundation"] = GroupJson(list.mediafoundation, false);
  return JsonDocument(json);
}

}  // namespace korvane

// Checks AVI files against a machine and writes what was found.
#include "cli/check_report.h"

#include "cli/json_output.h"
#include "diag/diag_steps.h"
#include "platform/format.h"

namespace korvane {
namespace {

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// The report's short platform name, spelled out where the report only has "?".
std::string PlatformText(uint32_t platformId) {
  const std::string name = PlatformName(platformId);
  return name == "?" ? "unknown platform" : name;
}

void AppendTryLine(const FileCheck& file, size_t index, std::string* out) {
  if (index < file.tries.size()) *out += "    try: " + file.tries[index].text + "\n";
}

Json TryJson(const TryFinding& finding) {
  Json json;
  json["outcome"] = JsonText(TryOutcomeName(finding.outcome));
  json["decodes"] = finding.outcome == TryOutcome::kDecodes;
  json["text"] = JsonText(finding.text);
  if (finding.outcome == TryOutcome::kCrashed) {
    json["exceptionCode"] = JsonText(Format("0x%08X", finding.exceptionCode));
    json["module"] = finding.module.empty() ? Json(nullptr) : JsonText(finding.module);
  }
  return json;
}

// The line that says what a stream is and what it needs.
std::string StreamLine(size_t index, const AviStream& stream, const DecoderCheck& decoder) {
  std::string line = Format("  stream %d: %s", static_cast<int>(index), StreamKindText(stream));
  if (!stream.isVideo() && !stream.isAudio()) return line + ", not decoded";
  if (!stream.hasFormat) return line + ", no format: can't tell its codec";
  line += ", " + (stream.isAudio() ? "format tag " : std::string()) + decoder.code + " (" +
          decoder.codecName + ")";
  if (stream.isAudio() && stream.formatTag == kWaveFormatExtensible) {
    line += stream.subFormatIsTag ? " in an extensible format"
                                  : " (extensible format, sub-format " + stream.subFormatGuid + ")";
  }
  if (!decoder.needsDecoder) return line + ", built in";
  if (decoder.entryNames.empty()) {
    // No entry name to look for: an unknown format tag, or a FourCC that is not text.
    return line +
           (stream.isAudio() ? ", needs an ACM driver" : ", needs a Video for Windows decoder") +
           " (no usual one known)";
  }
  line += ", needs " + decoder.entryNames.front();
  const std::string files = decoder.usualFiles;
  if (!files.empty()) line += " (usually " + files.substr(0, files.find(' ')) + ")";
  return line;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of(":\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What a saved report does not say of this decoder, as one line.
std::string UnknownLine(const DecoderCheck& decoder) {
  const std::string why = " (" + decoder.unknown.why + ")";
  if (!decoder.registeredKnown) {
    return "    the report does not say whether " + decoder.entryNames.front() + " is registered" +
           why + "\n";
  }
  if (!decoder.libraryKnown) {
    return "    the report does not say whether " + BaseName(decoder.libraryPath) + " loads" + why +
           "\n";
  }
  return "    the report does not say whether another entry for it loads" + why + "\n";
}

void AppendDecoderLines(const DecoderCheck& decoder, std::string* out) {
  if (!decoder.needsDecoder) return;
  if (!decoder.registeredKnown) {
    *out += UnknownLine(decoder);
    return;
  }
  if (!decoder.registered) {
    const std::string names =
        decoder.entryNames.empty() ? "no driver known for it" : Join(decoder.entryNames, ", ");
    *out += "    not registered: " + names + "\n";
    return;
  }
  const DriverEntry& entry = decoder.registration;
  *out += "    registered in " + entry.where + ": " + entry.name + "=" + entry.value + "\n";
  if (!decoder.libraryKnown) {
    *out += UnknownLine(decoder);
  } else if (decoder.loads) {
    *out += "    loads: " + decoder.libraryPath + "\n";
  } else {
    *out += "    does not load: " + decoder.libraryPath + " (" + decoder.whyNot + ")\n";
    if (!decoder.othersKnown) *out += UnknownLine(decoder);
  }
}

// The DirectShow decoders a stream would get, and the host's GStreamer's answer behind
// Wine's splitter.
void AppendStreamPathLines(const FileCheck& file, size_t index, std::string* out) {
  if (!file.paths.known || index >= file.paths.streams.size()) return;
  const AviStream& stream = file.walk.streams[index];
  if (!(stream.isVideo() || stream.isAudio()) || !stream.hasFormat) return;
  const StreamPaths& paths = file.paths.streams[index];
  std::vector<std::string> names;
  for (const DirectShowDecoder& decoder : paths.directshow) {
    names.push_back(decoder.name + Format(" (merit 0x%08X)", decoder.merit));
  }
  if (file.decoders[index].needsDecoder || !names.empty()) {
    *out +=
        "    DirectShow: " + (names.empty() ? std::string("no decoder") : Join(names, ", ")) + "\n";
  }
  if (!paths.gstreamer) return;
  const GstreamerStreamAnswer& answer = *paths.gstreamer;
  const std::string caps = answer.caps.empty() ? "" : " " + answer.caps;
  if (answer.decodes) {
    *out += "    GStreamer: " + answer.element + " decodes" + caps + "\n";
  } else {
    *out += "    GStreamer: no decoder for" + (caps.empty() ? " it" : caps) +
            (answer.missing.empty() ? "" : " (" + answer.missing + ")") + "\n";
  }
}

void AppendFilePathLines(const FilePaths& paths, std::string* out) {
  if (!paths.known) return;
  *out += "  DirectShow splitter: " + (paths.splitter.empty() ? "none" : paths.splitter) + "\n";
}

Json DirectShowDecoderJson(const DirectShowDecoder& decoder) {
  Json json;
  json["name"] = JsonText(decoder.name);
  json["clsid"] = JsonText(decoder.clsid);
  json["merit"] = decoder.merit;
  json["library"] = JsonText(decoder.library);
  json["loads"] = decoder.loads;
  return json;
}

Json GstreamerJson(const std::optional<GstreamerStreamAnswer>& answer) {
  if (!answer) return Json(nullptr);
  Json json;
  json["caps"] = JsonText(answer->caps);
  json["decodes"] = answer->decodes;
  json["element"] = answer->element.empty() ? Json(nullptr) : JsonText(answer->element);
  json["missing"] = answer->missing.empty() ? Json(nullptr) : JsonText(answer->missing);
  return json;
}

Json StreamPathsJson(const StreamPaths& paths) {
  Json decoders = Json::array();
  for (const DirectShowDecoder& decoder : paths.directshow) {
    decoders.push_back(DirectShowDecoderJson(decoder));
  }
  Json json;
  json["decoders"] = std::move(decoders);
  json["gstreamer"] = GstreamerJson(paths.gstreamer);
  return json;
}

// Null where the machine's DirectShow registrations were not read (a saved report).
Json FilePathsJson(const FilePaths& paths) {
  if (!paths.known) return Json(nullptr);
  Json json;
  json["vfw"]["playable"] = paths.vfwPlayable;
  json["directshow"]["playable"] = paths.directshowPlayable;
  json["directshow"]["splitter"] =
      paths.splitter.empty() ? Json(nullptr) : JsonText(paths.splitter);
  json["directshow"]["needs"] = JsonTextList(paths.directshowNeeds);
  if (paths.hasMediaFoundation) json["mediafoundation"]["playable"] = paths.mediaFoundationPlayable;
  return json;
}

// A fact a saved report may not hold: null then.
Json Known(bool known, bool value) { return known ? Json(value) : Json(nullptr); }

Json DecoderJson(const DecoderCheck& decoder) {
  Json json;
  json["needed"] = decoder.needsDecoder;
  json["entries"] = JsonTextList(decoder.entryNames);
  std::vector<std::string> files;
  for (size_t start = 0; start < decoder.usualFiles.size();) {
    size_t end = decoder.usualFiles.find(' ', start);
    if (end == std::string::npos) end = decoder.usualFiles.size();
    if (end > start) files.push_back(decoder.usualFiles.substr(start, end - start));
    start = end + 1;
  }
  json["usualFiles"] = JsonTextList(files);
  json["registered"] = Known(decoder.registeredKnown, decoder.registered);
  if (decoder.registered) {
    json["where"] = JsonText(decoder.registration.where);
    json["entry"] = JsonText(decoder.registration.name);
    json["value"] = JsonText(decoder.registration.value);
    json["path"] = JsonText(decoder.libraryPath);
    json["found"] = Known(decoder.libraryKnown, decoder.libraryFound);
    json["loads"] = Known(decoder.libraryKnown, decoder.loads);
    json["whyNot"] =
        decoder.loads || !decoder.libraryKnown ? Json(nullptr) : JsonText(decoder.whyNot);
  }
  json["ready"] = Known(decoder.known(), decoder.ready());
  if (!decoder.known()) {
    json["unknown"]["why"] = JsonText(decoder.unknown.why);
    json["unknown"]["askFor"] = JsonText(decoder.unknown.ask);
  }
  return json;
}

Json StreamJson(size_t index, const AviStream& stream, const DecoderCheck& decoder,
                const TryFinding* tried, const StreamPaths* paths) {
  Json json;
  json["index"] = index;
  json["kind"] = JsonText(StreamKindText(stream));
  json["type"] = JsonText(FourCCText(stream.type));
  json["handler"] = JsonText(FourCCText(stream.handler));
  if (stream.isVideo() && stream.hasFormat) {
    json["fourcc"] = JsonText(decoder.code);
    json["width"] = stream.width;
    json["height"] = stream.height;
  }
  if (stream.isAudio() && stream.hasFormat) {
    json["formatTag"] = stream.formatTag;
    if (stream.formatTag == kWaveFormatExtensible) json["subFormat"] = stream.subFormatGuid;
    json["channels"] = stream.channels;
    json["samplesPerSec"] = stream.samplesPerSec;
  }
  if (stream.isVideo() || stream.isAudio()) {
    json["codec"] = JsonText(decoder.codecName);
    json["decoder"] = DecoderJson(decoder);
  }
  if (tried != nullptr) json["try"] = TryJson(*tried);
  if (paths != nullptr && (stream.isVideo() || stream.isAudio()) && stream.hasFormat) {
    json["directshow"] = StreamPathsJson(*paths);
  }
  return json;
}

Json FileJson(const FileCheck& file) {
  Json json;
  json["file"] = JsonText(file.path);
  if (!file.error.empty()) {
    json["error"] = JsonText("can't open " + file.path + ": " + file.error);
    return json;
  }
  const AviWalk& walk = file.walk;
  json["size"] = walk.fileSize;
  json["avi"] = walk.isAvi;
  json["truncated"] = walk.truncated;
  json["openDml"] = walk.hasOpenDml;
  json["extendedRiffs"] = walk.extendedRiffs;
  json["movi"] = walk.hasMovi;
  json["idx1"] = walk.hasIdx1;
  Json streams = Json::array();
  for (size_t i = 0; i < walk.streams.size(); ++i) {
    const bool pathsKnown = file.paths.known && i < file.paths.streams.size();
    streams.push_back(StreamJson(i, walk.streams[i], file.decoders[i],
                                 i < file.tries.size() ? &file.tries[i] : nullptr,
                                 pathsKnown ? &file.paths.streams[i] : nullptr));
  }
  json["streams"] = std::move(streams);
  json["problems"] = JsonTextList(walk.problems);
  json["install"] = JsonTextList(file.install);
  json["playable"] = Known(file.playableKnown, file.playable);
  if (!file.askFor.empty()) json["askFor"] = JsonTextList(file.askFor);
  json["verdict"] = JsonText(file.verdict);
  json["paths"] = FilePathsJson(file.paths);
  return json;
}

std::string VersionText(bool known, const OsVersion& version) {
  if (!known) return "Windows version unknown";
  const uint32_t build =
      version.platformId == kPlatformWinNt ? version.build : version.build & 0xFFFF;
  return Format("Windows %u.%02u build %u (%s)", version.major, version.minor, build,
                PlatformText(version.platformId));
}

}  // namespace

CheckedMachine ReadCheckedMachine(System& system, const std::string& label) {
  CheckedMachine facts;
  facts.label = label;
  OsVersion version;
  const bool known = system.GetVersionExA(&version);
  facts.version = VersionText(known, version);
  facts.drivers = ReadInstalledDrivers(system);
  return facts;
}

CheckedMachine ReportCheckedMachine(const ReportFacts& report, const std::string& label) {
  CheckedMachine facts;
  facts.label = label + " (a saved report)";
  facts.version = VersionText(report.versionKnown, report.version);
  facts.drivers = report.drivers;
  return facts;
}

std::string CheckLines(const CheckedMachine& machine, const std::vector<FileCheck>& files) {
  std::string out = "machine: " + machine.label + ", " + machine.version + "\n";
  for (const std::string& note : machine.drivers.notes) out += "  note: " + note + "\n";
  for (const FileCheck& file : files) {
    if (!file.error.empty()) continue;  // told on standard error
    out += file.path + "\n";
    const std::vector<AviStream>& streams = file.walk.streams;
    for (size_t i = 0; i < streams.size(); ++i) {
      out += StreamLine(i, streams[i], file.decoders[i]) + "\n";
      AppendDecoderLines(file.decoders[i], &out);
      AppendTryLine(file, i, &out);
      AppendStreamPathLines(file, i, &out);
    }
    AppendFilePathLines(file.paths, &out);
    for (const std::string& problem : file.walk.problems) out += "  problem: " + problem + "\n";
    out += "  verdict: " + file.verdict + "\n";
  }
  return out;
}

std::string CheckJson(const CheckedMachine& machine, const std::vector<FileCheck>& files) {
  Json json;
  json["machine"]["name"] = JsonText(machine.label);
  json["machine"]["version"] = JsonText(machine.version);
  json["machine"]["notes"] = JsonTextList(machine.drivers.notes);
  Json list = Json::array();
  for (const FileCheck& file : files) list.push_back(FileJson(file));
  json["files"] = std::move(list);
  return JsonDocument(json);
}

}  // namespace korvane

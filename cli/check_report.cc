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

Json TryJson(const TryFinding& finding, CodePage page) {
  Json json;
  json["outcome"] = JsonText(TryOutcomeName(finding.outcome), page);
  json["decodes"] = finding.outcome == TryOutcome::kDecodes;
  json["text"] = JsonText(finding.text, page);
  if (finding.outcome == TryOutcome::kCrashed) {
    json["exceptionCode"] = JsonText(Format("0x%08X", finding.exceptionCode), page);
    json["module"] = finding.module.empty() ? Json(nullptr) : JsonText(finding.module, page);
  }
  return json;
}

// The file's DirectShow try and the graph it built. The graph's arrows are "->" here: this
// text is written in the machine's 8-bit code page, which has no arrow; the JSON has one.
void AppendGraphLines(const FileCheck& file, std::string* out) {
  if (!file.paths.directshowTry) return;
  const DirectShowTry& tried = *file.paths.directshowTry;
  *out += "  try (DirectShow): " + tried.finding.text + "\n";
  if (!tried.branches.empty()) *out += "    graph: " + ChainText(tried.branches, " -> ") + "\n";
}

// The filter names come from the child as UTF-8, which JsonText keeps as it is.
Json GraphJson(const DirectShowTry& tried, CodePage page) {
  Json json = TryJson(tried.finding, page);
  json["filters"] = JsonTextList(tried.filters, page);
  json["chain"] = JsonText(ChainText(tried.branches, " \xE2\x86\x92 "), page);
  json["frames"] = tried.frames;
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
  // The media type alone: the whole caps (rates, sizes) are in --json.
  const std::string caps =
      answer.caps.empty() ? "" : " " + answer.caps.substr(0, answer.caps.find(','));
  if (answer.decodes && answer.element.empty()) {
    *out += "    GStreamer: takes" + (caps.empty() ? " it" : caps) + " as it is\n";
  } else if (answer.decodes) {
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

Json DirectShowDecoderJson(const DirectShowDecoder& decoder, CodePage page) {
  Json json;
  json["name"] = JsonText(decoder.name, page);
  json["clsid"] = JsonText(decoder.clsid, page);
  json["merit"] = decoder.merit;
  json["library"] = JsonText(decoder.library, page);
  json["loads"] = decoder.loads;
  return json;
}

Json GstreamerJson(const std::optional<GstreamerStreamAnswer>& answer, CodePage page) {
  if (!answer) return Json(nullptr);
  Json json;
  json["caps"] = JsonText(answer->caps, page);
  json["decodes"] = answer->decodes;
  json["element"] = answer->element.empty() ? Json(nullptr) : JsonText(answer->element, page);
  json["missing"] = answer->missing.empty() ? Json(nullptr) : JsonText(answer->missing, page);
  return json;
}

Json StreamPathsJson(const StreamPaths& paths, CodePage page) {
  Json decoders = Json::array();
  for (const DirectShowDecoder& decoder : paths.directshow) {
    decoders.push_back(DirectShowDecoderJson(decoder, page));
  }
  Json json;
  json["decoders"] = std::move(decoders);
  json["gstreamer"] = GstreamerJson(paths.gstreamer, page);
  return json;
}

// Null where the machine's DirectShow registrations were not read (a saved report).
Json FilePathsJson(const FilePaths& paths, CodePage page) {
  if (!paths.known) return Json(nullptr);
  Json json;
  json["vfw"]["playable"] = paths.vfwPlayable;
  json["directshow"]["playable"] = paths.directshowPlayable;
  json["directshow"]["splitter"] =
      paths.splitter.empty() ? Json(nullptr) : JsonText(paths.splitter, page);
  json["directshow"]["needs"] = JsonTextList(paths.directshowNeeds, page);
  if (paths.hasMediaFoundation) json["mediafoundation"]["playable"] = paths.mediaFoundationPlayable;
  return json;
}

// A fact a saved report may not hold: null then.
Json Known(bool known, bool value) { return known ? Json(value) : Json(nullptr); }

Json DecoderJson(const DecoderCheck& decoder, CodePage page) {
  Json json;
  json["needed"] = decoder.needsDecoder;
  json["entries"] = JsonTextList(decoder.entryNames, page);
  std::vector<std::string> files;
  for (size_t start = 0; start < decoder.usualFiles.size();) {
    size_t end = decoder.usualFiles.find(' ', start);
    if (end == std::string::npos) end = decoder.usualFiles.size();
    if (end > start) files.push_back(decoder.usualFiles.substr(start, end - start));
    start = end + 1;
  }
  json["usualFiles"] = JsonTextList(files, page);
  json["registered"] = Known(decoder.registeredKnown, decoder.registered);
  if (decoder.registered) {
    json["where"] = JsonText(decoder.registration.where, page);
    json["entry"] = JsonText(decoder.registration.name, page);
    json["value"] = JsonText(decoder.registration.value, page);
    json["path"] = JsonText(decoder.libraryPath, page);
    json["found"] = Known(decoder.libraryKnown, decoder.libraryFound);
    json["loads"] = Known(decoder.libraryKnown, decoder.loads);
    json["whyNot"] =
        decoder.loads || !decoder.libraryKnown ? Json(nullptr) : JsonText(decoder.whyNot, page);
  }
  json["ready"] = Known(decoder.known(), decoder.ready());
  if (!decoder.known()) {
    json["unknown"]["why"] = JsonText(decoder.unknown.why, page);
    json["unknown"]["askFor"] = JsonText(decoder.unknown.ask, page);
  }
  return json;
}

Json StreamJson(size_t index, const AviStream& stream, const DecoderCheck& decoder,
                const TryFinding* tried, const StreamPaths* paths, CodePage page) {
  Json json;
  json["index"] = index;
  json["kind"] = JsonText(StreamKindText(stream), page);
  json["type"] = JsonText(FourCCText(stream.type), page);
  json["handler"] = JsonText(FourCCText(stream.handler), page);
  if (stream.isVideo() && stream.hasFormat) {
    json["fourcc"] = JsonText(decoder.code, page);
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
    json["codec"] = JsonText(decoder.codecName, page);
    json["decoder"] = DecoderJson(decoder, page);
  }
  if (tried != nullptr) json["try"] = TryJson(*tried, page);
  if (paths != nullptr && (stream.isVideo() || stream.isAudio()) && stream.hasFormat) {
    json["directshow"] = StreamPathsJson(*paths, page);
  }
  return json;
}

Json FileJson(const FileCheck& file, CodePage page) {
  Json json;
  json["file"] = JsonText(file.path, page);
  if (!file.error.empty()) {
    json["error"] = JsonText("can't open " + file.path + ": " + file.error, page);
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
                                 pathsKnown ? &file.paths.streams[i] : nullptr, page));
  }
  json["streams"] = std::move(streams);
  json["problems"] = JsonTextList(walk.problems, page);
  json["install"] = JsonTextList(file.install, page);
  json["playable"] = Known(file.playableKnown, file.playable);
  if (!file.askFor.empty()) json["askFor"] = JsonTextList(file.askFor, page);
  json["verdict"] = JsonText(file.verdict, page);
  json["paths"] = FilePathsJson(file.paths, page);
  if (file.paths.directshowTry) {
    json["paths"]["directshow"]["try"] = GraphJson(*file.paths.directshowTry, page);
  }
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
  facts.codePage = static_cast<CodePage>(system.GetACP());
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
    AppendGraphLines(file, &out);
    for (const std::string& problem : file.walk.problems) out += "  problem: " + problem + "\n";
    out += "  verdict: " + file.verdict + "\n";
  }
  return out;
}

std::string CheckJson(const CheckedMachine& machine, const std::vector<FileCheck>& files) {
  const CodePage page = machine.codePage;
  Json json;
  json["machine"]["name"] = JsonText(machine.label, page);
  json["machine"]["version"] = JsonText(machine.version, page);
  json["machine"]["notes"] = JsonTextList(machine.drivers.notes, page);
  Json list = Json::array();
  for (const FileCheck& file : files) list.push_back(FileJson(file, page));
  json["files"] = std::move(list);
  return JsonDocument(json);
}

}  // namespace korvane

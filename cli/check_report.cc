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

// The file's DirectShow try and the graph it built. The graph's arrows are "->" here: this
// text is written in the machine's 8-bit code page, which has no arrow; the JSON has one.
void AppendGraphLines(const FileCheck& file, std::string* out) {
  if (!file.paths.directshowTry) return;
  const DirectShowTry& tried = *file.paths.directshowTry;
  *out += "  try (DirectShow): " + tried.finding.text + "\n";
  if (!tried.branches.empty()) *out += "    graph: " + ChainText(tried.branches, " -> ") + "\n";
}

Json GraphJson(const DirectShowTry& tried) {
  Json json = TryJson(tried.finding);
  json["filters"] = JsonTextList(tried.filters);
  json["chain"] = JsonText(ChainText(tried.branches, " \xE2\x86\x92 "));
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
                const TryFinding* tried) {
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
    streams.push_back(StreamJson(i, walk.streams[i], file.decoders[i],
                                 i < file.tries.size() ? &file.tries[i] : nullptr));
  }
  json["streams"] = std::move(streams);
  json["problems"] = JsonTextList(walk.problems);
  json["install"] = JsonTextList(file.install);
  json["playable"] = Known(file.playableKnown, file.playable);
  if (!file.askFor.empty()) json["askFor"] = JsonTextList(file.askFor);
  json["verdict"] = JsonText(file.verdict);
  if (file.paths.directshowTry) {
    json["paths"]["directshow"]["try"] = GraphJson(*file.paths.directshowTry);
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
    }
    AppendGraphLines(file, &out);
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

// Checks AVI files against a machine and writes what was found.
#include "cli/check_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/json_writer.h"
#include "diag/diag_steps.h"
#include "platform/format.h"
#include "platform/read_stream.h"

namespace korvane {
namespace {

const char kPlayable[] = "playable here";

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

// Why the file cannot be read, or empty when it opened.
std::string OpenError(const std::string& path, std::FILE** file) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return "it is a folder";
  *file = OpenReadStream(path);
  if (*file == nullptr) return std::strerror(errno);
  return std::string();
}

// The verdict from what the file holds and check->install.
void SetVerdict(FileCheck* check) {
  const AviWalk& walk = check->walk;
  check->playable = false;
  if (!walk.isAvi) {
    check->verdict = "not an AVI file: " + (walk.problems.empty() ? "" : walk.problems.front());
  } else if (walk.streams.empty()) {
    check->verdict = "can't tell: the file describes no streams";
  } else if (!check->install.empty()) {
    check->verdict = Join(check->install, "; ");
  } else if (!walk.hasMovi) {
    check->verdict = "the decoders are here, but the file holds no frames";
  } else {
    check->playable = true;
    check->verdict = kPlayable;
  }
}

void DecideVerdict(const AviStream* streams, FileCheck* check) {
  for (size_t i = 0; i < check->decoders.size(); ++i) {
    if (!check->decoders[i].ready()) {
      check->install.push_back(InstallAdvice(check->decoders[i], streams[i]));
    }
  }
  SetVerdict(check);
}

// What to do about a decoder that is there and loads but failed its try.
std::string TryAdvice(const DecoderCheck& decoder, const TryFinding& finding) {
  const std::string what = "the decoder for " + decoder.codecName + " (" + decoder.code + ")";
  const std::string where = decoder.libraryPath.empty() ? "" : ", " + decoder.libraryPath;
  // The finding's text after its first word: "crashed: exception ..." gives "exception ...".
  const size_t colon = finding.text.find(": ");
  const std::string detail =
      colon == std::string::npos ? finding.text : finding.text.substr(colon + 2);
  switch (finding.outcome) {
    case TryOutcome::kCrashed:
      return "repair or replace " + what + where + ": its try crashed (" + detail + ")";
    case TryOutcome::kHung:
      return "repair or replace " + what + where + ": its try hung (" + detail + ")";
    default:
      return "repair " + what + where + ": it loads but " + finding.text;
  }
}

void AppendTryLine(const FileCheck& file, size_t index, std::string* out) {
  if (index < file.tries.size()) *out += "    try: " + file.tries[index].text + "\n";
}

void WriteTryJson(const TryFinding& finding, JsonWriter* json) {
  json->BeginObject();
  json->Key("outcome");
  json->String(TryOutcomeName(finding.outcome));
  json->Key("decodes");
  json->Bool(finding.outcome == TryOutcome::kDecodes);
  json->Key("text");
  json->String(finding.text);
  if (finding.outcome == TryOutcome::kCrashed) {
    json->Key("exceptionCode");
    json->String(Format("0x%08X", finding.exceptionCode));
    json->Key("module");
    if (finding.module.empty()) {
      json->Null();
    } else {
      json->String(finding.module);
    }
  }
  json->EndObject();
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
  if (decoder.entryNames.empty()) return line + ", needs an ACM driver (no usual one known)";
  line += ", needs " + decoder.entryNames.front();
  const std::string files = decoder.usualFiles;
  if (!files.empty()) line += " (usually " + files.substr(0, files.find(' ')) + ")";
  return line;
}

void AppendDecoderLines(const DecoderCheck& decoder, std::string* out) {
  if (!decoder.needsDecoder) return;
  if (!decoder.registered) {
    const std::string names =
        decoder.entryNames.empty() ? "no driver known for it" : Join(decoder.entryNames, ", ");
    *out += "    not registered: " + names + "\n";
    return;
  }
  const DriverEntry& entry = decoder.registration;
  *out += "    registered in " + entry.where + ": " + entry.name + "=" + entry.value + "\n";
  if (decoder.loads) {
    *out += "    loads: " + decoder.libraryPath + "\n";
  } else {
    *out += "    does not load: " + decoder.libraryPath + " (" + decoder.whyNot + ")\n";
  }
}

void WriteDecoderJson(const DecoderCheck& decoder, JsonWriter* json) {
  json->BeginObject();
  json->Key("needed");
  json->Bool(decoder.needsDecoder);
  json->Key("entries");
  json->StringArray(decoder.entryNames);
  json->Key("usualFiles");
  std::vector<std::string> files;
  for (size_t start = 0; start < decoder.usualFiles.size();) {
    size_t end = decoder.usualFiles.find(' ', start);
    if (end == std::string::npos) end = decoder.usualFiles.size();
    if (end > start) files.push_back(decoder.usualFiles.substr(start, end - start));
    start = end + 1;
  }
  json->StringArray(files);
  json->Key("registered");
  json->Bool(decoder.registered);
  if (decoder.registered) {
    json->Key("where");
    json->String(decoder.registration.where);
    json->Key("entry");
    json->String(decoder.registration.name);
    json->Key("value");
    json->String(decoder.registration.value);
    json->Key("path");
    json->String(decoder.libraryPath);
    json->Key("found");
    json->Bool(decoder.libraryFound);
    json->Key("loads");
    json->Bool(decoder.loads);
    json->Key("whyNot");
    if (decoder.loads) {
      json->Null();
    } else {
      json->String(decoder.whyNot);
    }
  }
  json->Key("ready");
  json->Bool(decoder.ready());
  json->EndObject();
}

void WriteStreamJson(size_t index, const AviStream& stream, const DecoderCheck& decoder,
                     const TryFinding* tried, JsonWriter* json) {
  json->BeginObject();
  json->Key("index");
  json->Number(static_cast<int64_t>(index));
  json->Key("kind");
  json->String(StreamKindText(stream));
  json->Key("type");
  json->String(FourCCText(stream.type));
  json->Key("handler");
  json->String(FourCCText(stream.handler));
  if (stream.isVideo() && stream.hasFormat) {
    json->Key("fourcc");
    json->String(decoder.code);
    json->Key("width");
    json->Number(stream.width);
    json->Key("height");
    json->Number(stream.height);
  }
  if (stream.isAudio() && stream.hasFormat) {
    json->Key("formatTag");
    json->Number(stream.formatTag);
    if (stream.formatTag == kWaveFormatExtensible) {
      json->Key("subFormat");
      json->String(stream.subFormatGuid);
    }
    json->Key("channels");
    json->Number(stream.channels);
    json->Key("samplesPerSec");
    json->Number(stream.samplesPerSec);
  }
  if (stream.isVideo() || stream.isAudio()) {
    json->Key("codec");
    json->String(decoder.codecName);
    json->Key("decoder");
    WriteDecoderJson(decoder, json);
  }
  if (tried != nullptr) {
    json->Key("try");
    WriteTryJson(*tried, json);
  }
  json->EndObject();
}

void WriteFileJson(const FileCheck& file, JsonWriter* json) {
  json->BeginObject();
  json->Key("file");
  json->String(file.path);
  if (!file.error.empty()) {
    json->Key("error");
    json->String("can't open " + file.path + ": " + file.error);
    json->EndObject();
    return;
  }
  const AviWalk& walk = file.walk;
  json->Key("size");
  json->Number(static_cast<int64_t>(walk.fileSize));
  json->Key("avi");
  json->Bool(walk.isAvi);
  json->Key("truncated");
  json->Bool(walk.truncated);
  json->Key("openDml");
  json->Bool(walk.hasOpenDml);
  json->Key("extendedRiffs");
  json->Number(walk.extendedRiffs);
  json->Key("movi");
  json->Bool(walk.hasMovi);
  json->Key("idx1");
  json->Bool(walk.hasIdx1);
  json->Key("streams");
  json->BeginArray();
  for (size_t i = 0; i < walk.streams.size(); ++i) {
    WriteStreamJson(i, walk.streams[i], file.decoders[i],
                    i < file.tries.size() ? &file.tries[i] : nullptr, json);
  }
  json->EndArray();
  json->Key("problems");
  json->StringArray(walk.problems);
  json->Key("install");
  json->StringArray(file.install);
  json->Key("playable");
  json->Bool(file.playable);
  json->Key("verdict");
  json->String(file.verdict);
  json->EndObject();
}

}  // namespace

FileCheck CheckAviFile(System& system, const InstalledDrivers& drivers, const std::string& path) {
  FileCheck check;
  check.path = path;
  std::FILE* file = nullptr;
  check.error = OpenError(path, &file);
  if (!check.error.empty()) return check;
  FileByteSource source(file);
  check.walk = WalkAvi(source);
  std::fclose(file);
  for (const AviStream& stream : check.walk.streams) {
    check.decoders.push_back(CheckStreamDecoder(system, drivers, stream));
  }
  DecideVerdict(check.walk.streams.data(), &check);
  return check;
}

void ApplyTries(FileCheck* file) {
  if (!file->error.empty() || file->tries.size() != file->walk.streams.size()) return;
  file->install.clear();
  for (size_t i = 0; i < file->decoders.size() && i < file->tries.size(); ++i) {
    const DecoderCheck& decoder = file->decoders[i];
    const TryFinding& finding = file->tries[i];
    if (finding.outcome == TryOutcome::kDecodes) continue;  // it decodes, whatever the files say
    if (!decoder.ready()) {
      file->install.push_back(InstallAdvice(decoder, file->walk.streams[i]));
    } else if (finding.outcome != TryOutcome::kNotTried) {
      file->install.push_back(TryAdvice(decoder, finding));
    }
  }
  SetVerdict(file);
}

CheckedMachine ReadCheckedMachine(System& system, const std::string& label) {
  CheckedMachine facts;
  facts.label = label;
  OsVersion version;
  if (system.GetVersionExA(&version)) {
    const uint32_t build =
        version.platformId == kPlatformWinNt ? version.build : version.build & 0xFFFF;
    facts.version = Format("Windows %u.%02u build %u (%s)", version.major, version.minor, build,
                           PlatformText(version.platformId));
  } else {
    facts.version = "Windows version unknown";
  }
  facts.drivers = ReadInstalledDrivers(system);
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
    for (const std::string& problem : file.walk.problems) out += "  problem: " + problem + "\n";
    out += "  verdict: " + file.verdict + "\n";
  }
  return out;
}

std::string CheckJson(const CheckedMachine& machine, const std::vector<FileCheck>& files) {
  JsonWriter json;
  json.BeginObject();
  json.Key("machine");
  json.BeginObject();
  json.Key("name");
  json.String(machine.label);
  json.Key("version");
  json.String(machine.version);
  json.Key("notes");
  json.StringArray(machine.drivers.notes);
  json.EndObject();
  json.Key("files");
  json.BeginArray();
  for (const FileCheck& file : files) WriteFileJson(file, &json);
  json.EndArray();
  json.EndObject();
  return json.text();
}

}  // namespace korvane

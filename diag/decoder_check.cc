// Reads the machine's [drivers32] entries and matches a stream's codec against them.
#include "diag/decoder_check.h"

#include <algorithm>
#include <cstring>

#include "avi/codec_table.h"
#include "platform/ascii.h"
#include "platform/format.h"
#include "platform/scoped_reg_key.h"

namespace korvane {

const char kDrivers32Section[] = "system.ini [drivers32]";
const char kDrivers32KeyName[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32";

namespace {

const char kDrivers32Path[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32";
constexpr int kIniLineRead = 510;        // at most 509 characters a read
constexpr uint32_t kRegistryText = 512;  // name and data capacity
constexpr uint32_t kMaxRegistryValues = 100000;

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir;
}

// The [drivers32] section of system.ini, scanned as the diagnostic run scans it, except
// that the header matches without regard to case: Video for Windows finds its drivers
// through the profile functions, which ignore case.
void ReadIniDrivers(System& system, InstalledDrivers* drivers) {
  const std::string path = WithSlash(system.GetWindowsDirectoryA()) + "system.ini";
  std::FILE* file = system.OpenFileForReading(path);
  if (file == nullptr) {
    drivers->notes.push_back("can't open " + path);
    return;
  }
  char buffer[kIniLineRead];
  bool inSection = false;
  while (std::fgets(buffer, kIniLineRead, file) != nullptr) {
    std::string line(buffer, std::strlen(buffer));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      inSection = EqualsIgnoringCase(line, "[drivers32]");
      continue;
    }
    DriverEntry entry;
    if (inSection && SplitIniDriverLine(line, &entry)) drivers->entries.push_back(entry);
  }
  std::fclose(file);
}

}  // namespace

// Windows trims both ends of the name and the value when it reads them.
bool SplitIniDriverLine(const std::string& line, DriverEntry* entry) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  entry->name = TrimBlanks(line.substr(0, equals));
  const size_t start = line.find_first_not_of("= ", equals);
  entry->value = start == std::string::npos ? std::string() : TrimBlanks(line.substr(start));
  entry->where = kDrivers32Section;
  return true;
}

namespace {

// Value data as text: up to its first zero byte, whatever its type.
std::string DataText(const std::vector<uint8_t>& data) {
  const auto zero = std::find(data.begin(), data.end(), 0);
  return std::string(data.begin(), zero);
}

// Windows 9x has no drivers32 key as a rule, so only NT is told when it is missing.
void ReadRegistryDrivers(System& system, bool nt, InstalledDrivers* drivers) {
  ScopedRegKey key(system);
  if (!key.Open(RootKey::kLocalMachine, kDrivers32Path, kKeyRead)) {
    if (nt) drivers->notes.push_back(std::string(kDrivers32KeyName) + " - can't open key");
    return;
  }
  for (uint32_t index = 0; index < kMaxRegistryValues; ++index) {
    RegValue value;
    const long result =
        system.RegEnumValueA(key.get(), index, kRegistryText, kRegistryText, &value);
    if (result == kErrorMoreData) {
      // Too long for any driver path: skip it, the values after it still count.
      drivers->notes.push_back(
          Format("%s: value %u is too long and is skipped", kDrivers32KeyName, index));
      continue;
    }
    if (result != 0) break;
    drivers->entries.push_back({value.name, DataText(value.data), kDrivers32KeyName});
  }
}

bool IsPrintableFourCC(uint32_t fourcc) {
  for (int shift = 0; shift < 32; shift += 8) {
    const unsigned char c = static_cast<unsigned char>(fourcc >> shift);
    if (c < 0x21 && !(c == 0x20 && shift > 0)) return false;  // trailing spaces only
    if (c > 0x7E) return false;
  }
  return true;
}

void AddUnique(std::vector<std::string>* names, const std::string& name) {
  for (const std::string& have : *names) {
    if (EqualsIgnoringCase(have, name)) return;
  }
  names->push_back(name);
}

std::vector<std::string> SplitWords(const char* text) {
  std::vector<std::string> words;
  std::string word;
  for (const char* p = text;; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!word.empty()) words.push_back(word);
      word.clear();
      if (*p == '\0') break;
    } else {
      word += *p;
    }
  }
  return words;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of(":\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CompressionText(uint32_t compression) {
  static const char* const kConstants[] = {"BI_RGB", "BI_RLE8", "BI_RLE4", "BI_BITFIELDS"};
  if (compression < 4) return kConstants[compression];
  return FourCCText(compression);
}

// Video: "vidc." and the FourCC from the table, the format's FourCC and the stream
// handler, in the order Video for Windows tries them.
void DescribeVideoNeed(const AviStream& stream, DecoderCheck* check) {
  const CodecInfo* info = FindVideoCodec(stream.compression);
  check->code = CompressionText(stream.compression);
  check->codecName = info ? info->name : "unknown codec";
  if (info != nullptr && info->driver == kBuiltIn) return;
  check->needsDecoder = true;
  if (info != nullptr) check->usualFiles = info->files;
  if (info != nullptr && info->driver[0] != '\0') AddUnique(&check->entryNames, info->driver);
  if (IsPrintableFourCC(stream.compression)) {
    AddUnique(&check->entryNames, "vidc." + FourCCText(stream.compression));
  }
  if (IsPrintableFourCC(stream.handler)) {
    AddUnique(&check->entryNames, "vidc." + FourCCText(stream.handler));
  }
}

void DescribeAudioNeed(const AviStream& stream, DecoderCheck* check) {
  const uint16_t tag = stream.effectiveFormatTag();
  const CodecInfo* info = FindAudioCodec(tag);
  check->code = Format("0x%04X", tag);
  check->codecName = info ? info->name : "unknown codec";
  if (info != nullptr && info->driver == kBuiltIn) return;
  check->needsDecoder = true;
  if (info == nullptr) return;
  check->usualFiles = info->files;
  for (const std::string& name : SplitWords(info->driver)) AddUnique(&check->entryNames, name);
}

bool ServesAudio(const DriverEntry& entry, const DecoderCheck& check) {
  for (const std::string& name : check.entryNames) {
    if (EqualsIgnoringCase(entry.name, name)) return true;
  }
  // The usual library installed under another name still serves: ACM asks them all.
  if (AsciiLower(entry.name).rfind("msacm.", 0) != 0) return false;
  for (const std::string& file : SplitWords(check.usualFiles.c_str())) {
    if (EqualsIgnoringCase(BaseName(entry.value), file)) return true;
  }
  return false;
}

bool ServesVideo(const DriverEntry& entry, const DecoderCheck& check) {
  for (const std::string& name : check.entryNames) {
    if (EqualsIgnoringCase(entry.name, name)) return true;
  }
  return false;
}

// Tries one entry's library: found, loads, and why not.
void TryLibrary(const LibraryLookup& libraries, const InstalledDrivers& drivers,
                const DriverEntry& entry, DecoderCheck* check) {
  check->registration = entry;
  check->libraryPath = DriverLibraryPath(entry.value, drivers.systemDirPrefix);
  check->libraryFound = false;
  check->loads = false;
  check->libraryKnown = true;
  check->whyNot.clear();
  if (entry.value.empty()) {
    check->whyNot = "the entry names no file";
    return;
  }
  if (entry.value.find_first_of("*?") != std::string::npos) {
    check->whyNot = "the entry names no single file";
    return;
  }
  const LibraryFacts facts = libraries(check->libraryPath);
  if (!facts.known) {
    check->libraryKnown = false;
    check->unknown = facts.unknown;
    return;
  }
  check->libraryFound = facts.found;
  check->loads = facts.loads;
  check->whyNot = facts.whyNot;
}

}  // namespace

InstalledDrivers ReadInstalledDrivers(System& system) {
  InstalledDrivers drivers;
  drivers.systemDirPrefix = WithSlash(system.GetSystemDirectoryA());
  OsVersion version;
  const bool nt = system.GetVersionExA(&version) && version.platformId == kPlatformWinNt;
  if (nt) {
    ReadRegistryDrivers(system, nt, &drivers);
    ReadIniDrivers(system, &drivers);
  } else {
    ReadIniDrivers(system, &drivers);
    ReadRegistryDrivers(system, nt, &drivers);
  }
  return drivers;
}

std::string DriverLibraryPath(const std::string& value, const std::string& systemDirPrefix) {
  if (value.find_first_of(":\\") != std::string::npos) return value;
  return systemDirPrefix + value;
}

LibraryFacts ProbeLibraryFacts(System& system, const std::string& path) {
  LibraryFacts facts;
  if (system.FindFirstFileA(path) == nullptr) {
    facts.whyNot = "file not found";
    return facts;
  }
  facts.found = true;
  std::string why;
  const LibraryHandle library = system.LoadLibraryA(path, &why);
  if (library == 0) {
    facts.whyNot = why.empty() ? "LoadLibrary failed" : why;
    return facts;
  }
  system.FreeLibrary(library);
  facts.loads = true;
  return facts;
}

DecoderCheck CheckStreamDecoder(System& system, const InstalledDrivers& drivers,
                                const AviStream& stream) {
  return CheckStreamDecoder(
      [&system](const std::string& path) { return ProbeLibraryFacts(system, path); }, drivers,
      stream);
}

DecoderCheck CheckStreamDecoder(const LibraryLookup& libraries, const InstalledDrivers& drivers,
                                const AviStream& stream) {
  DecoderCheck check;
  if (!stream.hasFormat) {
    check.code = "?";
    check.codecName = "no format";
    return check;
  }
  if (stream.isVideo()) {
    DescribeVideoNeed(stream, &check);
  } else if (stream.isAudio()) {
    DescribeAudioNeed(stream, &check);
  }
  if (!check.needsDecoder) return check;
  const bool audio = stream.isAudio();
  for (const DriverEntry& entry : drivers.entries) {
    if (!(audio ? ServesAudio(entry, check) : ServesVideo(entry, check))) continue;
    DecoderCheck attempt = check;
    attempt.registered = true;
    TryLibrary(libraries, drivers, entry, &attempt);
    // The first entry stands unless a later one loads, or might: where a saved report
    // does not say whether a later library loads, neither can the check.
    if (!check.registered || attempt.loads || (check.libraryKnown && !attempt.libraryKnown)) {
      check = attempt;
    }
    if (check.loads) break;
  }
  // A place is not listed: an entry there might serve, or load where the listed one does
  // not.
  if (!check.loads && check.libraryKnown && !drivers.unlisted.empty()) {
    (check.registered ? check.othersKnown : check.registeredKnown) = false;
    check.unknown = drivers.unlisted.front().unknown;
  }
  return check;
}

std::string StreamKindText(const AviStream& stream) {
  switch (stream.type) {
    case kStreamVideo:
      return "video";
    case kStreamAudio:
      return "audio";
    case kStreamInterleaved:
      return "DV video and audio";
    case 0x73747874:
      return "text";  // 'txts'
    case 0x7364696D:
      return "MIDI";  // 'mids'
    default:
      return stream.hasHeader ? "'" + FourCCText(stream.type) + "'" : "no header";
  }
}

std::string InstallAdvice(const DecoderCheck& check, const AviStream& stream) {
  const bool audio = stream.isAudio();
  const std::string codec = check.codecName == "unknown codec"
                                ? (audio ? "format tag " : "FourCC ") + check.code
                                : check.codecName + " (" + check.code + ")";
  if (check.registered && check.libraryFound) {
    return "repair the decoder for " + codec + ": " + check.libraryPath + " does not load (" +
           check.whyNot + ")";
  }
  if (check.registered) {
    return "reinstall the decoder for " + codec + ": " + check.registration.name + " names " +
           check.libraryPath + ", " + check.whyNot;
  }
  std::string advice = std::string("install ") +
                       (audio ? "an ACM decoder for " : "a Video for Windows decoder for ") + codec;
  std::string detail;
  if (!check.entryNames.empty()) detail = check.entryNames.front();
  const std::vector<std::string> files = SplitWords(check.usualFiles.c_str());
  if (!files.empty()) detail += (detail.empty() ? "usually " : ", usually ") + files.front();
  return detail.empty() ? advice : advice + ": " + detail;
}

}  // namespace korvane

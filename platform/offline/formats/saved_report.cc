// Reads a saved report back: the version line, the driver sections and the library lines.
#include "platform/offline/formats/saved_report.h"

#include <cstdio>
#include <cstring>

#include "platform/offline/formats/text_lines.h"

namespace korvane {
namespace {

const char kVersionPrefix[] = "GetVersionEx() reports: ver. ";
const char kVersionFailed[] = "GetVersionEx() failed";
const char kVfwPrefix[] = "Video for Windows version: 0x";
const char kNotFound[] = " Not found";
const char kLoadedOk[] = " Loaded Ok";
const char kFailedToLoad[] = " Failed to load";

enum class Section {
  kNone,
  kSystemIni,
  kMsvc,
  kDriverDescriptions,
  kRegistryDrivers,
  kIniLoading,
  kWellKnown,
  kCapture,
  kAviFile,
  kUninstall,
};

struct Heading {
  const char* text;
  Section section;
};

// The headings a run writes, in the order it writes them.
constexpr Heading kHeadings[] = {
    {"======== system.ini ========", Section::kSystemIni},
    {"======== %WINDIR%\\System\\msvc*.* ========", Section::kMsvc},
    {"======== SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc entries ===",
     Section::kDriverDescriptions},
    {"======== Loading SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32 entries ===",
     Section::kRegistryDrivers},
    {"======== Loading DLL ========", Section::kIniLoading},
    {"======== Well known DLLs ========", Section::kWellKnown},
    {"======== capture drivers ====", Section::kCapture},
    {"======== registry entries ===", Section::kAviFile},
    {"======== uninstall section ==", Section::kUninstall},
};

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t length = std::strlen(suffix);
  return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

std::optional<Section> HeadingSection(const std::string& line) {
  for (const Heading& heading : kHeadings) {
    if (line == heading.text) return heading.section;
  }
  return std::nullopt;
}

bool AllOf(const std::string& text, size_t from, size_t to, bool (*test)(char)) {
  if (from >= to || to > text.size()) return false;
  for (size_t i = from; i < to; ++i) {
    if (!test(text[i])) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpperHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }

// "0x20 1999-04-03 512": the attributes, date and size between a path and its ending.
bool IsFileDetails(const std::string& text) {
  // From the end: the size (decimal, may be negative), the date, the attributes.
  const size_t sizeStart = text.rfind(' ');
  if (sizeStart == std::string::npos) return false;
  const size_t digits = sizeStart + 1 + (text.compare(sizeStart + 1, 1, "-") == 0 ? 1 : 0);
  if (!AllOf(text, digits, text.size(), IsDigit)) return false;
  const size_t dateStart = text.rfind(' ', sizeStart - 1);
  if (dateStart == std::string::npos || sizeStart - dateStart < 10) return false;
  const std::string date = text.substr(dateStart + 1, sizeStart - dateStart - 1);
  const size_t firstDash = date.find('-');
  if (firstDash == std::string::npos || date.size() != firstDash + 6 ||
      date[firstDash + 3] != '-' || !AllOf(date, 0, firstDash, IsDigit) ||
      !AllOf(date, firstDash + 1, firstDash + 3, IsDigit) ||
      !AllOf(date, firstDash + 4, date.size(), IsDigit)) {
    return false;
  }
  return text.compare(0, 2, "0x") == 0 && AllOf(text, 2, dateStart, IsUpperHex);
}

bool ParseVersionLine(const std::string& line, OsVersion* version) {
  if (!StartsWith(line, kVersionPrefix)) return false;
  unsigned major = 0, minor = 0, build = 0, low = 0, platform = 0;
  int consumed = 0;
  if (std::sscanf(line.c_str() + std::strlen(kVersionPrefix),
                  "%u.%u, build 0x%X (%u), platform %u (%n", &major, &minor, &build, &low,
                  &platform, &consumed) != 5 ||
      consumed == 0) {
    return false;
  }
  const size_t quote = line.find("), \"", std::strlen(kVersionPrefix) + consumed);
  if (quote == std::string::npos || line.back() != '"' || line.size() < quote + 5) return false;
  version->major = major;
  version->minor = minor;
  version->build = build;
  version->platformId = platform;
  version->servicePack = line.substr(quote + 4, line.size() - quote - 5);
  return true;
}

struct Reader {
  SavedReport* report;
  Section section = Section::kNone;
  bool drivers32Listing = false;  // inside the [drivers32] part of the system.ini section

  SectionState* StateOf(Section which) {
    switch (which) {
      case Section::kSystemIni:
        return &report->systemIni;
      case Section::kDriverDescriptions:
        return &report->driverDescriptions;
      case Section::kRegistryDrivers:
        return &report->registryDrivers;
      case Section::kIniLoading:
        return &report->iniLoading;
      default:
        return nullptr;
    }
  }

  // A line after the current section shows that the section was written to its end.
  void EndSection() {
    if (SectionState* state = StateOf(section)) *state = SectionState::kComplete;
    section = Section::kNone;
    drivers32Listing = false;
  }

  void StartSection(Section next) {
    EndSection();
    section = next;
    if (next >= Section::kWellKnown) report->reachesPastLoading = true;
    if (SectionState* state = StateOf(next)) *state = SectionState::kLast;
  }

  void SystemIniLine(const std::string& line) {
    if (StartsWith(line, "can't open ")) {
      report->iniUnreadable = line;
    } else if (line == "[drivers32]") {
      drivers32Listing = true;
    } else if (line == "[boot.description]" || line == "[drivers]") {
      drivers32Listing = false;
    } else if (drivers32Listing) {
      report->iniDrivers32.push_back(line);
    }
  }

  void RegistryDriversLine(const std::string& line, const std::optional<ReportedLibrary>& library) {
    const size_t equals = line.find(" = ");
    if (EndsWith(line, " - can't open key") && report->registryValues.empty()) {
      report->registryUnreadable = line;
    } else if (library && (equals == std::string::npos || !report->registryLibraries.empty())) {
      report->registryLibraries.push_back(*library);
    } else if (equals != std::string::npos && report->registryLibraries.empty()) {
      report->registryValues.push_back({line.substr(0, equals), line.substr(equals + 3)});
    }
  }

  void Line(const std::string& line) {
    if (const auto heading = HeadingSection(line)) {
      StartSection(*heading);
      return;
    }
    if (StartsWith(line, kVfwPrefix) &&
        (section == Section::kNone || section == Section::kSystemIni)) {
      EndSection();
      const auto value = ParseUint32("0x" + line.substr(std::strlen(kVfwPrefix)));
      report->vfwVersion = value.value_or(0);
      report->vfwVersionKnown = value.has_value();
      return;
    }
    const auto library = ParseLibraryLine(line);
    if (library) report->libraries.push_back(*library);
    switch (section) {
      case Section::kSystemIni:
        SystemIniLine(line);
        break;
      case Section::kRegistryDrivers:
        RegistryDriversLine(line, library);
        break;
      case Section::kIniLoading:
        if (library) report->iniLibraries.push_back(*library);
        break;
      default:
        break;
    }
  }
};

}  // namespace

bool LooksLikeSavedReport(const std::string& head) {
  const std::string first = head.substr(0, head.find_first_of("\r\n"));
  OsVersion ignored;
  return first == kVersionFailed || ParseVersionLine(first, &ignored);
}

std::optional<ReportedLibrary> ParseLibraryLine(const std::string& line) {
  ReportedLibrary library;
  if (EndsWith(line, kNotFound)) {
    library.path = line.substr(0, line.size() - std::strlen(kNotFound));
    return library.path.empty() ? std::nullopt : std::make_optional(library);
  }
  const char* ending = EndsWith(line, kLoadedOk) ? kLoadedOk : kFailedToLoad;
  if (!EndsWith(line, ending)) return std::nullopt;
  const std::string rest = line.substr(0, line.size() - std::strlen(ending));
  // The path may hold spaces; the attributes start at its last " 0x" before the date.
  for (size_t space = rest.rfind(" 0x"); space != std::string::npos && space > 0;
       space = rest.rfind(" 0x", space - 1)) {
    if (!IsFileDetails(rest.substr(space + 1))) continue;
    library.path = rest.substr(0, space);
    library.found = true;
    library.loads = ending == kLoadedOk;
    return library;
  }
  return std::nullopt;
}

std::optional<ParseError> ParseSavedReport(const std::string& text, SavedReport* report) {
  *report = SavedReport();
  const std::vector<std::string> lines = SplitTextLines(text);
  if (lines.empty()) return ParseError{0, "empty, not a saved report"};
  if (lines[0] != kVersionFailed) {
    if (!ParseVersionLine(lines[0], &report->version)) {
      return ParseError{1, "not a saved report: the first line is not the version line"};
    }
    report->versionKnown = true;
  }
  Reader reader{report};
  bool anySection = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    anySection = anySection || HeadingSection(lines[i]) || StartsWith(lines[i], kVfwPrefix);
    reader.Line(lines[i]);
  }
  if (!anySection) {
    return ParseError{
        0, "not a saved report: after the version line it has no section korvane writes"};
  }
  return std::nullopt;
}

}  // namespace korvane

// The decoder check's facts from a saved report.
#include "diag/report_facts.h"

#include <map>

#include "platform/ascii.h"

namespace korvane {
namespace {

const char kAskLoadTest[] = "a report made with \"load .DLL test\" ticked";
const char kAskSystemIni[] = "a report made with \"system.ini\" ticked";
const char kAskNtTests[] = "a report made with \"NT specific tests\" and \"load .DLL test\" ticked";
const char kAskWhole[] = "the whole report";
const char kCutShort[] = "it is cut short";

// Why a section's facts are missing: its test was off, or the report ends before it.
UnknownFact Missing(SectionState state, bool laterSectionThere, const std::string& test,
                    const char* ask) {
  if (state == SectionState::kLast) return {kCutShort, kAskWhole};
  if (laterSectionThere) return {"it was made without the " + test, ask};
  return {"it was made without the " + test + ", or is cut short before it", ask};
}

void AddIniDrivers(const SavedReport& report, InstalledDrivers* drivers) {
  if (!report.iniUnreadable.empty()) drivers->notes.push_back(report.iniUnreadable);
  for (const std::string& line : report.iniDrivers32) {
    DriverEntry entry;
    if (SplitIniDriverLine(line, &entry)) drivers->entries.push_back(entry);
  }
  // The listing is whole only when the line after the section is there.
  if (report.systemIni != SectionState::kComplete) {
    drivers->unlisted.push_back(
        {kDrivers32Section,
         Missing(report.systemIni, report.vfwVersionKnown, "system.ini test", kAskSystemIni)});
  }
}

void AddRegistryDrivers(const SavedReport& report, bool nt, InstalledDrivers* drivers) {
  if (!report.registryUnreadable.empty()) drivers->notes.push_back(report.registryUnreadable);
  for (const ReportedValue& value : report.registryValues) {
    drivers->entries.push_back({value.name, value.value, kDrivers32KeyName});
  }
  // Windows 9x keeps its drivers in system.ini; its report never lists the key.
  if (!nt || report.registryDrivers == SectionState::kComplete ||
      !report.registryUnreadable.empty()) {
    return;
  }
  UnknownFact unknown;
  if (report.registryDrivers == SectionState::kLast ||
      report.driverDescriptions == SectionState::kLast) {
    unknown = {kCutShort, kAskWhole};
  } else if (report.driverDescriptions == SectionState::kComplete) {
    unknown = {"it was made without the library load test", kAskLoadTest};
  } else {
    const bool later = report.iniLoading != SectionState::kAbsent || report.reachesPastLoading;
    unknown = Missing(SectionState::kAbsent, later, "NT specific tests", kAskNtTests);
  }
  drivers->unlisted.push_back({kDrivers32KeyName, unknown});
}

// The system directory, as the report spells it: from a driver whose library line names
// it, else from the first well-known library.
std::string SystemDirPrefix(const SavedReport& report, const InstalledDrivers& drivers) {
  for (const DriverEntry& entry : drivers.entries) {
    if (entry.value.empty() || entry.value.find_first_of(":\\") != std::string::npos) continue;
    for (const ReportedLibrary& library : report.libraries) {
      const std::string& path = library.path;
      if (path.size() > entry.value.size() &&
          EqualsIgnoringCase(path.substr(path.size() - entry.value.size()), entry.value) &&
          path[path.size() - entry.value.size() - 1] == '\\') {
        return path.substr(0, path.size() - entry.value.size());
      }
    }
  }
  for (const ReportedLibrary& library : report.libraries) {
    const size_t slash = library.path.rfind('\\');
    if (slash != std::string::npos &&
        EqualsIgnoringCase(library.path.substr(slash + 1), "advapi32.dll")) {
      return library.path.substr(0, slash + 1);
    }
  }
  return std::string();
}

// Why a library the report has no line for is not known.
UnknownFact LibraryNotInReport(const SavedReport& report) {
  if (report.iniLoading == SectionState::kLast || report.registryDrivers == SectionState::kLast) {
    return {kCutShort, kAskWhole};
  }
  if (report.iniLoading == SectionState::kAbsent &&
      report.registryDrivers == SectionState::kAbsent) {
    return Missing(SectionState::kAbsent, report.reachesPastLoading, "library load test",
                   kAskLoadTest);
  }
  return {"it has no line for it", kAskWhole};
}

}  // namespace

ReportFacts ReadReportFacts(const SavedReport& report) {
  ReportFacts facts;
  facts.versionKnown = report.versionKnown;
  facts.version = report.version;
  const bool nt = report.versionKnown && report.version.platformId == kPlatformWinNt;
  if (nt) {
    AddRegistryDrivers(report, nt, &facts.drivers);
    AddIniDrivers(report, &facts.drivers);
  } else {
    AddIniDrivers(report, &facts.drivers);
    AddRegistryDrivers(report, nt, &facts.drivers);
  }
  facts.drivers.systemDirPrefix = SystemDirPrefix(report, facts.drivers);

  std::map<std::string, LibraryFacts> known;
  for (const ReportedLibrary& library : report.libraries) {
    LibraryFacts line;
    line.found = library.found;
    line.loads = library.loads;
    if (!library.found) line.whyNot = "file not found";
    if (library.found && !library.loads) line.whyNot = "the report says it failed to load";
    known.emplace(AsciiLower(library.path), line);
  }
  LibraryFacts unknown;
  unknown.known = false;
  unknown.unknown = LibraryNotInReport(report);
  facts.libraries = [known, unknown](const std::string& path) {
    const auto it = known.find(AsciiLower(path));
    return it == known.end() ? unknown : it->second;
  };
  return facts;
}

}  // namespace korvane

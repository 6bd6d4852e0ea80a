// A report saved by the window's "Save log as" or by `korvane run -o`, read back as the
// facts it holds about the machine it was made on: its version, its driver lists and what
// became of each driver library. Pure: text in, facts out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/offline/formats/parse_error.h"
#include "platform/system.h"

namespace korvane {

// One library line of a loading section: "PATH Not found", "PATH 0x20 1999-04-03 512
// Loaded Ok" or "... Failed to load".
struct ReportedLibrary {
  std::string path;
  bool found = false;
  bool loads = false;
};

// A name and value as the drivers32 key's section lists them ("vidc.cvid = iccvid.dll").
struct ReportedValue {
  std::string name;
  std::string value;
};

// What a section holds, and whether the report shows all of it.
enum class SectionState {
  kAbsent,    // its test was off, or the report ends before it
  kComplete,  // a line after the section shows that it was written in full
  kLast,      // the report ends in it: it may have been cut short
};

struct SavedReport {
  bool versionKnown = false;  // false: "GetVersionEx() failed"
  OsVersion version;
  uint32_t vfwVersion = 0;
  bool vfwVersionKnown = false;

  // The system.ini section: the [drivers32] lines it lists, or why the file was not read.
  SectionState systemIni = SectionState::kAbsent;
  std::vector<std::string> iniDrivers32;
  std::string iniUnreadable;  // "can't open C:\WINDOWS\system.ini"

  // The drivers32 key: its values and, after them, a library line for each one kept.
  SectionState registryDrivers = SectionState::kAbsent;
  std::vector<ReportedValue> registryValues;
  std::vector<ReportedLibrary> registryLibraries;
  std::string registryUnreadable;  // "HKLM\...\drivers32 - can't open key"

  // "Loading DLL": a library line for each [drivers32] entry of system.ini that names one.
  SectionState iniLoading = SectionState::kAbsent;
  std::vector<ReportedLibrary> iniLibraries;

  // Every library line of the report, the well-known libraries' included, in order.
  std::vector<ReportedLibrary> libraries;

  // The drivers.desc section: there when the NT specific tests were on.
  SectionState driverDescriptions = SectionState::kAbsent;

  // A section that a run writes after the driver loading (well-known libraries, capture
  // drivers, registry entries) is there: a loading section missing before it was off.
  bool reachesPastLoading = false;
};

// True when text begins as a saved report does: its first line is the version line.
bool LooksLikeSavedReport(const std::string& head);

// Reads a whole report: CR LF or LF line ends, with or without a final line end. An error
// when its first line is not a version line or it has no section korvane writes.
std::optional<ParseError> ParseSavedReport(const std::string& text, SavedReport* report);

// The library line's parts, or nullopt for a line of another kind.
std::optional<ReportedLibrary> ParseLibraryLine(const std::string& line);

}  // namespace korvane

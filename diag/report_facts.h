// What korvane check needs of a machine, read from a report saved on it ("Save log as" or
// `korvane run -o`) instead of from the machine: the version, the [drivers32] entries and
// what became of each driver library. A report holds only what its tests wrote; every
// fact it does not hold is marked unknown, with what to ask its sender for.
#pragma once

#include "diag/decoder_check.h"
#include "platform/offline/formats/saved_report.h"

namespace korvane {

struct ReportFacts {
  bool versionKnown = false;
  OsVersion version;
  InstalledDrivers drivers;
  LibraryLookup libraries;
};

ReportFacts ReadReportFacts(const SavedReport& report);

}  // namespace korvane

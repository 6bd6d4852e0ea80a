// The tests a diagnostic run is made of; each writes its own lines through AddReportLine.
#pragma once

#include <cstddef>
#include <string>

#include "diag/diagnostics.h"
#include "platform/system.h"
#include "report/report.h"

namespace korvane {

// Fixed buffer sizes, terminating zero included. A path that would not fit its buffer is
// refused with a "path too long" line instead of being cut into another path.
constexpr size_t kShortPathBuffer = 256;
constexpr size_t kLongPathBuffer = 512;

// Short name of a platform id: "Win32s", "Win9x", "WinNT" or "?".
const char* PlatformName(uint32_t platformId);

// The line that refuses a path that does not fit its buffer: "<path> - path too long".
void ReportPathTooLong(const std::string& path);

// The system directory with one backslash appended unless it is empty or already ends in
// one, into *prefix. False when it would not fit a buffer of bufferSize bytes (the platform
// is asked with a size one less); *prefix then still holds it, for the refusal line.
bool SystemDirWithSlash(System& system, size_t bufferSize, std::string* prefix);

// The path of a driver named in system.ini or the registry: the name alone when it holds
// a ':' or a '\\', else the system directory prefix followed by the name. False when it
// would not fit the 512-byte path buffer, or needs a prefix that did not fit its own.
bool DriverPath(const std::string& name, const std::string& prefix, bool prefixFits,
                std::string* path);
// ProbeLibrary on a driver's path, or the line that refuses it.
void ProbeDriver(System& system, const std::string& name, const std::string& prefix,
                 bool prefixFits);

// system.ini sections. Both return 1 when the file was read to its end, 0 when it could
// not be opened.
int ListIniSection(System& system, const std::string& fileName, const std::string& header);
int LoadIniSectionDrivers(System& system, ReportWindow& window, const std::string& fileName,
                          const std::string& header);

// One line for one file: found or not, attributes, UTC date, size, whether it loads.
void ProbeLibrary(System& system, const std::string& path);
void ListMsvcFiles(System& system);
void ProbeWellKnownLibraries(System& system, const TestOptions& options);

extern const char* const WellKnownLibrariesNt[];  // 44 names, then an empty entry
extern const char* const WellKnownLibraries9x[];  // 37 names, then an empty entry

// Registry probes.
extern const char kDriversDescKeyPath[];
extern const char kDrivers32KeyPath[];
extern const char kUninstallKeyPath[];
constexpr size_t kRegistryDriverListLimit = 511;

void ListDriverDescriptions(System& system);
void LoadRegistryDrivers(System& system, ReportWindow& window);
void ListUninstallEntries(System& system);
void ShowUninstallEntry(System& system, const std::string& subkeyName);
void ListAviFileEntries(System& system);
void ShowClassDefault(System& system, const std::string& path);

// Video capture drivers at indexes 0 to 9.
void ListCaptureDrivers(System& system);

}  // namespace korvane

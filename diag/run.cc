// The Go! run: the version lines, then every enabled test under its heading.
#include "diag/diag_steps.h"
#include "diag/diagnostics.h"

namespace korvane {
namespace {

constexpr size_t kServicePackMax = 127;

void ReportOsVersion(System& system) {
  OsVersion version;
  if (!system.GetVersionExA(&version)) {
    AddReportLine("GetVersionEx() failed");
    return;
  }
  // The record holds at most 127 characters of service-pack text.
  std::string servicePack = version.servicePack.c_str();
  if (servicePack.size() > kServicePackMax) servicePack.resize(kServicePackMax);
  AddReportLine("GetVersionEx() reports: ver. %d.%d, build 0x%lX (%d), platform %d (%s), \"%s\"",
                version.major, version.minor, version.build, version.build & 0xFFFFu,
                version.platformId, PlatformName(version.platformId), servicePack);
}

void RunSystemIniListing(System& system) {
  AddReportLine("======== %s ========", "system.ini");
  for (const char* header : {"[boot.description]", "[drivers]", "[drivers32]"}) {
    ListIniSection(system, "system.ini", header);
  }
}

void RunNtRegistryTests(System& system, ReportWindow& window, const TestOptions& options) {
  AddReportLine("======== %s entries ===", kDriversDescKeyPath);
  ListDriverDescriptions(system);
  if (options.loadDll != 0) {
    AddReportLine("======== Loading %s entries ===", kDrivers32KeyPath);
    LoadRegistryDrivers(system, window);
  }
}

}  // namespace

const char* PlatformName(uint32_t platformId) {
  switch (platformId) {
    case kPlatformWin32s:
      return "Win32s";
    case kPlatformWin9x:
      return "Win9x";
    case kPlatformWinNt:
      return "WinNT";
    default:
      return "?";
  }
}

const TestSwitch kTestSwitches[8] = {
    {"systemIni", &TestOptions::systemIni, TestId::kSystemIni},
    {"loadDll", &TestOptions::loadDll, TestId::kLoadDll},
    {"captureDrivers", &TestOptions::captureDrivers, TestId::kCaptureDrivers},
    {"registryAviFile", &TestOptions::registryAviFile, TestId::kRegistryAviFile},
    {"registryUninstall", &TestOptions::registryUninstall, TestId::kRegistryUninstall},
    {"ntTests", &TestOptions::ntTests, TestId::kNtTests},
    {"msvcList", &TestOptions::msvcList, TestId::kMsvcList},
    {"wellKnownDlls", &TestOptions::wellKnownDlls, TestId::kWellKnownDlls},
};

TestOptions StartupTestOptions(System& system) {
  TestOptions options;
  options.vfwVersion = system.VideoForWindowsVersion() >> 16;
  OsVersion version;
  if (system.GetVersionExA(&version)) {
    options.ntTests = version.platformId == kPlatformWinNt ? 1 : 0;
  }
  return options;
}

void RunDiagnostics(System& system, ReportWindow& window, const TestOptions& options) {
  ClearReport(window);
  ReportOsVersion(system);
  if (options.systemIni != 0) RunSystemIniListing(system);
  AddReportLine("Video for Windows version: 0x%X", options.vfwVersion);
  if (options.msvcList != 0) {
    AddReportLine("======== %%WINDIR%%\\System\\msvc*.* ========");
    ListMsvcFiles(system);
  }
  if (options.ntTests != 0) RunNtRegistryTests(system, window, options);
  if (options.loadDll != 0) {
    AddReportLine("======== Loading DLL ========");
    LoadIniSectionDrivers(system, window, "system.ini", "[drivers32]");
  }
  if (options.wellKnownDlls != 0) {
    AddReportLine("======== Well known DLLs ========");
    ProbeWellKnownLibraries(system, options);
  }
  if (options.captureDrivers != 0) {
    AddReportLine("======== capture drivers ====");
    ListCaptureDrivers(system);
  }
  if (options.registryAviFile != 0) {
    AddReportLine("======== registry entries ===");
    ListAviFileEntries(system);
  }
  if (options.registryUninstall != 0) {
    AddReportLine("======== uninstall section ==");
    ListUninstallEntries(system);
  }
}

}  // namespace korvane

// The Go! run: the version lines and every enabled test, in their fixed order.
#pragma once

#include <cstdint>

#include "platform/system.h"
#include "report/report.h"

namespace korvane {

// The eight test switches (0 or 1, compared with zero only) and the Video for Windows
// version word. The GUI keeps one process-wide record; the command line builds its own.
struct TestOptions {
  uint32_t systemIni = 1;
  uint32_t loadDll = 1;
  uint32_t captureDrivers = 1;
  uint32_t registryAviFile = 1;
  uint32_t registryUninstall = 1;
  uint32_t ntTests = 0;
  uint32_t msvcList = 1;
  uint32_t wellKnownDlls = 1;
  uint32_t vfwVersion = 0;
};

// The tests a run can switch on or off, one for each switch of TestOptions. The front end
// shows each on a control of its own choosing.
enum class TestId {
  kSystemIni,
  kLoadDll,
  kCaptureDrivers,
  kRegistryAviFile,
  kRegistryUninstall,
  kNtTests,
  kMsvcList,
  kWellKnownDlls,
};

// One switch of TestOptions: the name the command line's --tests gives it, its field, and
// the test it switches.
struct TestSwitch {
  const char* name;
  uint32_t TestOptions::*field;
  TestId test;
};
// The eight switches, in the order "Go!" reads their check boxes.
extern const TestSwitch kTestSwitches[8];

// The switches as a program start sets them: ntTests from the platform id, vfwVersion
// from the high 16 bits of VideoForWindowsVersion.
TestOptions StartupTestOptions(System& system);

// Clears the window's report list and writes a whole report through AddReportLine, which
// writes to MainWindow(): the front end installs this same window with SetMainWindow first.
// The two driver-loading tests repaint the window after each library.
void RunDiagnostics(System& system, ReportWindow& window, const TestOptions& options);

}  // namespace korvane

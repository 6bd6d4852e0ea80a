// The application shell of korvane.exe: process-wide state and the operations the
// shell's files share. Everything runs on the one UI thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/identity.h"
#include "diag/diagnostics.h"
#include "platform/system.h"
#include "report/report.h"

namespace korvane {

// Process-wide state: set at start-up, alive until the program ends.
extern HINSTANCE ProgramInstance;  // stored first in WinMain
extern HWND MainWindowHandle;      // MainWindow: dialog template 1, created once
extern TestOptions Options;        // the eight switches and the VfW version word
System& ThisMachine();             // the live machine the tests look at
ReportWindow& MainWindowReport();  // IDC_REPORT, IDC_PATH, the message box of MainWindow

// The main window's check box that shows a test (IDC_SYSTEM_INI to IDC_WELL_KNOWN_DLLS).
int CheckBoxOf(TestId test);
// The eight check boxes of kTestSwitches: ticked from the switches of options, or read
// back into them.
void SetCheckBoxes(HWND window, const TestOptions& options);
void ReadCheckBoxes(HWND window, TestOptions* options);
void SetButtonBitmap(HWND window, int controlId, int bitmapId);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT HandleCommand(HWND window, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Capacities of the file dialogs' path buffer.
constexpr int kPathBufferSize = 1024;
constexpr DWORD kPathDialogCapacity = 250;

void PrepareFileDialog(OPENFILENAMEA* dialog);
// The Open dialog of Open AVI; true when the user confirmed a file into path.
bool ChooseAviFile(HWND window, char* path);
// The Save dialog of Save log as; true when the user confirmed a file into path.
bool ChooseReportFile(HWND window, char* path);

void ShellOpen(const char* address);
int FormatVersionLine(char* destination, const char* middle);

}  // namespace korvane

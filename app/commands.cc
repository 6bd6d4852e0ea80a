// Every command that reaches MainWindowHandle, by id.
// windows.h first: the other Windows headers build on its definitions.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "app/app.h"
#include "avi/avi_dump.h"
#include "res/resource.h"

namespace korvane {
namespace {

void OpenAvi(HWND window) {
  char path[kPathBufferSize];
  path[0] = '\0';
  if (!ChooseAviFile(window, path)) return;
  DumpAviFile(MainWindowReport(), path);
}

void Go(HWND window) {
  ReadCheckBoxes(window, &Options);
  RunDiagnostics(ThisMachine(), MainWindowReport(), Options);
}

void SaveLog(HWND window) {
  const int lineCount =
      static_cast<int>(SendDlgItemMessageA(window, IDC_REPORT, LB_GETCOUNT, 0, 0));
  if (lineCount <= 0) return;
  char path[kPathBufferSize];
  path[0] = '\0';
  if (!ChooseReportFile(window, path)) return;
  SaveReport(MainWindowReport(), path, lineCount);
}

}  // namespace

void ReadCheckBoxes(HWND window, TestOptions* options) {
  for (const TestSwitch& box : kTestSwitches) {
    options->*box.field =
        static_cast<uint32_t>(SendDlgItemMessageA(window, CheckBoxOf(box.test), BM_GETCHECK, 0, 0));
  }
}

void ShellOpen(const char* address) {
  HWND owner = IsWindow(MainWindowHandle) ? MainWindowHandle : nullptr;
  ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_HIDE);
}

LRESULT HandleCommand(HWND window, WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDC_DONE:
    case IDM_EXIT:
      PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    case IDC_HELP_BUTTON:
    case IDM_HOWTO:
      WinHelpA(window, kHelpFile, HELP_FINDER, 0);
      break;
    case IDC_BROWSE:
    case IDM_OPEN_AVI:
      OpenAvi(window);
      break;
    case IDC_GO:
      Go(window);
      break;
    case IDM_SAVE_LOG:
      SaveLog(window);
      break;
    case IDM_ABOUT:
      DialogBoxParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
      break;
    case IDM_WEBSITE:
      ShellOpen(kWebSite);
      break;
    case IDM_MAIL:
      ShellOpen(kMailCommand);
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace korvane

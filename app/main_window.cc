// The main window procedure. It only dispatches: commands to HandleCommand,
// the settings save to WM_DESTROY, everything else to the plain window default.
#include "app/app.h"
#include "settings/settings.h"

namespace korvane {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      SaveSettings(ThisMachine());
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      return HandleCommand(window, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace korvane

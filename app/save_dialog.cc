// The Save dialog of Save log as (menu item 215).
#include "app/app.h"

namespace korvane {

bool ChooseReportFile(HWND window, char* path) {
  static const char kFilter[] = "Text files\0*.txt\0All files\0*.*\0";
  OPENFILENAMEA dialog;
  PrepareFileDialog(&dialog);
  dialog.hwndOwner = window;
  dialog.lpstrTitle = "Save report as";
  dialog.lpstrFilter = kFilter;
  dialog.lpstrDefExt = "txt";
  dialog.lpstrFile = path;
  dialog.nMaxFile = kPathDialogCapacity;
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  static_assert(
      (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER) == 526342,
      "Save dialog flags");
  return GetSaveFileNameA(&dialog) != 0;
}

}  // namespace korvane

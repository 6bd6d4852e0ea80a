// The Open dialog of Open AVI (menu item IDM_OPEN_AVI and the browse button IDC_BROWSE).
#include "app/app.h"

namespace korvane {

bool ChooseAviFile(HWND window, char* path) {
  static const char kFilter[] = "AVI files\0*.avi\0All files\0*.*\0";
  OPENFILENAMEA dialog;
  PrepareFileDialog(&dialog);
  dialog.hwndOwner = window;
  dialog.lpstrTitle = "Load an AVI file";
  dialog.lpstrFilter = kFilter;
  dialog.lpstrDefExt = "avi";
  dialog.lpstrFile = path;
  dialog.nMaxFile = kPathDialogCapacity;
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER;
  static_assert((OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER) == 530436,
                "Open dialog flags");
  return GetOpenFileNameA(&dialog) != 0;
}

}  // namespace korvane

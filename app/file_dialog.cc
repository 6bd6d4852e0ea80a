// The record both file dialogs start from.
#include <cstddef>

#include "app/app.h"

namespace korvane {

// OPENFILENAME_SIZE_VERSION_400A, the record without the Windows 2000 extension fields,
// as a constant expression: up to and including lpTemplateName.
constexpr DWORD kFileDialogRecordSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
#if defined(__i386__)
static_assert(kFileDialogRecordSize == 76, "the 4.0 file dialog record is 76 bytes on i686");
#endif

void PrepareFileDialog(OPENFILENAMEA* dialog) {
  ZeroMemory(dialog, sizeof *dialog);
  dialog->lStructSize = kFileDialogRecordSize;  // OPENFILENAME_SIZE_VERSION_400A
  dialog->hwndOwner = MainWindowHandle;
  dialog->hInstance = ProgramInstance;
}

}  // namespace korvane

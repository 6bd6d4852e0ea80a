// The About box (dialog template 2): the program's name and build date, the
// maker's notice, the web site and mail addresses, and the picture "ME".
#include "app/app.h"
#include "res/resource.h"

namespace korvane {
namespace {

#if defined(__i386__)
static_assert(sizeof(BITMAP) == 24, "the bitmap description is 24 bytes on i686");
#endif

constexpr int kVersionLineSize = 256;
constexpr int kAboutTextSize = 512;

constexpr char kVersionFormat[] = "%s  [ build %s ]%s%s";
constexpr char kSeparator[] = "\r\n\r\n";
constexpr char kAboutFormat[] =
    "%s\r\n\r\n"
    "Korvane finds out why AVI video does not play on this machine.\r\n\r\n"
    "web site    %s\r\n"
    "%s\r\n\r\n"
    "Thank you for using Korvane";

// The lengths of the composed texts, terminating zero included, from the pieces: each
// "%s" (2 characters) of a format gives way to its piece.
constexpr int kVersionLineLength = (sizeof kVersionFormat - 8) + (sizeof kProgramName - 1) +
                                   (sizeof kBuildDate - 1) + (sizeof kSeparator - 1) +
                                   (sizeof kMakerNotice - 1);
constexpr int kAboutTextLength = (sizeof kAboutFormat - 6) + (kVersionLineLength - 1) +
                                 (sizeof kWebSite - 1) + (sizeof kMailCommand - 1);
static_assert(kVersionLineLength <= kVersionLineSize, "the version line fits its 256 bytes");
static_assert(kAboutTextLength <= kAboutTextSize, "the About text fits its 512 bytes");

void ComposeAboutText(char* text) {
  char versionLine[kVersionLineSize];
  FormatVersionLine(versionLine, kSeparator);
  wsprintfA(text, kAboutFormat, versionLine, kWebSite, kMailCommand);
}

void DrawPicture(HWND dialog) {
  PAINTSTRUCT paint;
  BeginPaint(dialog, &paint);
  HBITMAP picture = LoadBitmapA(ProgramInstance, "me");
  HDC dialogContext = GetDC(dialog);
  HDC memoryContext = CreateCompatibleDC(dialogContext);
  HGDIOBJ kept = SelectObject(memoryContext, picture);
  BITMAP description;
  ZeroMemory(&description, sizeof description);
  GetObjectA(picture, sizeof description, &description);
  BitBlt(dialogContext, 20, 10, description.bmWidth, description.bmHeight, memoryContext, 0, 0,
         SRCAND);
  SelectObject(memoryContext, kept);
  DeleteObject(picture);
  DeleteDC(memoryContext);
  ReleaseDC(dialog, dialogContext);
  EndPaint(dialog, &paint);
}

}  // namespace

int FormatVersionLine(char* destination, const char* middle) {
  return wsprintfA(destination, kVersionFormat, kProgramName, kBuildDate, middle, kMakerNotice);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char text[kAboutTextSize];
      ComposeAboutText(text);
      SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, text);
      return 1;
    }
    case WM_PAINT:
      DrawPicture(dialog);
      return 0;
    case WM_CLOSE:
      EndDialog(dialog, 1);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
      return 1;
    default:
      return 0;
  }
}

}  // namespace korvane

// The entry point. Prepares the platform libraries, registers the main window
// class, loads the settings, builds and dresses MainWindowHandle, runs the message loop.
#include <windows.h>
#include <commctrl.h>
#include <vfw.h>

#include "app/app.h"
#include "res/resource.h"
#include "settings/settings.h"

#if defined(__i386__)
static_assert(sizeof(WNDCLASSEXA) == 48, "the class record is 48 bytes on i686");
static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes on i686");
#endif

namespace korvane {

HINSTANCE ProgramInstance = nullptr;
HWND MainWindowHandle = nullptr;
TestOptions Options;

namespace {

const char kClassName[] = "korvaneClass";

ATOM RegisterMainWindowClass() {
  WNDCLASSEXA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = ProgramInstance;
  windowClass.hIcon = LoadIconA(ProgramInstance, MAKEINTRESOURCEA(IDI_KORVANE));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
  windowClass.lpszClassName = kClassName;
  windowClass.hIconSm = LoadIconA(ProgramInstance, MAKEINTRESOURCEA(IDI_KORVANE_SMALL));
  return RegisterClassExA(&windowClass);
}

}  // namespace

void SetCheckBoxes(HWND window, int count, const CheckBoxValue* boxes) {
  for (int i = 0; i < count; ++i) {
    SendDlgItemMessageA(window, boxes[i].controlId, BM_SETCHECK,
                        boxes[i].value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void SetButtonBitmap(HWND window, int controlId, int bitmapId) {
  // Stays loaded for the life of the program.
  HBITMAP bitmap = LoadBitmapA(ProgramInstance, MAKEINTRESOURCEA(bitmapId));
  if (bitmap != nullptr) {
    SendDlgItemMessageA(window, controlId, BM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(bitmap));
  }
}

}  // namespace korvane

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int showCommand) {
  using namespace korvane;
  InitCommonControls();
  ProgramInstance = instance;
  if (previousInstance == nullptr && RegisterMainWindowClass() == 0) return 0;

  LoadSettings(LiveSystem());
  Options.vfwVersion = VideoForWindowsVersion() >> 16;
  AVIFileInit();

  MainWindowHandle =
      CreateDialogParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, nullptr, 0);
  SetMainWindow(&MainWindowReport());
  SetButtonBitmap(MainWindowHandle, IDC_BROWSE, IDB_FOLDER);

  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExA(&version)) Options.ntTests = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop

  const CheckBoxValue boxes[] = {
      {IDC_SYSTEM_INI, Options.systemIni},
      {IDC_LOAD_DLL, Options.loadDll},
      {IDC_CAPTURE_DRIVERS, Options.captureDrivers},
      {IDC_REGISTRY_AVIFILE, Options.registryAviFile},
      {IDC_REGISTRY_UNINSTALL, Options.registryUninstall},
      {IDC_NT_TESTS, Options.ntTests},
      {IDC_MSVC_LIST, Options.msvcList},
      {IDC_WELL_KNOWN_DLLS, Options.wellKnownDlls},
  };
  SetCheckBoxes(MainWindowHandle, 8, boxes);
  SetWindowTextA(MainWindowHandle, kCaption);
  ShowWindow(MainWindowHandle, showCommand);

  MSG message;
  ZeroMemory(&message, sizeof message);
  while (GetMessageA(&message, nullptr, 0, 0)) {
    if (!IsDialogMessageA(MainWindowHandle, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  AVIFileExit();
  return static_cast<int>(message.wParam);
}

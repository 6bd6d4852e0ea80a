// The entry point. Prepares the platform libraries, registers the main window
// class, loads the settings, builds and dresses MainWindowHandle, runs the message loop.
// windows.h first: the other Windows headers build on its definitions.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <vfw.h>
// clang-format on

#include <memory>

#include "app/app.h"
#include "platform/win32/live_system.h"
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

System& ThisMachine() {
  static std::unique_ptr<System> system = MakeLiveSystem();
  return *system;
}

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

int CheckBoxOf(TestId test) {
  switch (test) {
    case TestId::kSystemIni:
      return IDC_SYSTEM_INI;
    case TestId::kLoadDll:
      return IDC_LOAD_DLL;
    case TestId::kCaptureDrivers:
      return IDC_CAPTURE_DRIVERS;
    case TestId::kRegistryAviFile:
      return IDC_REGISTRY_AVIFILE;
    case TestId::kRegistryUninstall:
      return IDC_REGISTRY_UNINSTALL;
    case TestId::kNtTests:
      return IDC_NT_TESTS;
    case TestId::kMsvcList:
      return IDC_MSVC_LIST;
    case TestId::kWellKnownDlls:
      return IDC_WELL_KNOWN_DLLS;
  }
  return 0;
}

void SetCheckBoxes(HWND window, const TestOptions& options) {
  for (const TestSwitch& box : kTestSwitches) {
    SendDlgItemMessageA(window, CheckBoxOf(box.test), BM_SETCHECK,
                        options.*box.field != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
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

  LoadSettings(ThisMachine());
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

  SetCheckBoxes(MainWindowHandle, Options);
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

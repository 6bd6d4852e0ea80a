// The least a Win32 program with korvane.exe's kind of main window can do: show one
// dialog from a template and end when it is closed. The start-up benchmark compares
// korvane.exe with it.
//
//   minimal-dialog.exe                       dialog 1: the style only, one button
//   minimal-dialog.exe controls              dialog 2: korvane.exe's controls as well
//   minimal-dialog.exe controls libraries    and first the library start-up korvane.exe
//                                            must make: common controls, the Video for
//                                            Windows version, the AVIFile library
// The libraries are loaded at run time, so that the plain forms do not load them.
#include <windows.h>

#include <cstring>

namespace {

INT_PTR CALLBACK MinimalDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

using VoidCall = void(WINAPI*)();
using VersionCall = DWORD(WINAPI*)();

// A function of a library, by name; the library stays loaded, as an import would. The
// address passes through void (*)(), the one type a function pointer casts to quietly.
VoidCall LibraryFunction(const char* library, const char* function) {
  HMODULE module = LoadLibraryA(library);
  FARPROC address = module != nullptr ? GetProcAddress(module, function) : nullptr;
  return reinterpret_cast<VoidCall>(reinterpret_cast<void (*)()>(address));
}

void StartLibraries() {
  if (VoidCall init = LibraryFunction("comctl32.dll", "InitCommonControls")) init();
  if (VoidCall version = LibraryFunction("msvfw32.dll", "VideoForWindowsVersion")) {
    reinterpret_cast<VersionCall>(reinterpret_cast<void (*)()>(version))();
  }
  if (VoidCall init = LibraryFunction("avifil32.dll", "AVIFileInit")) init();
}

void StopLibraries() {
  if (VoidCall exit = LibraryFunction("avifil32.dll", "AVIFileExit")) exit();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const bool controls = std::strstr(commandLine, "controls") != nullptr;
  const bool libraries = std::strstr(commandLine, "libraries") != nullptr;
  if (libraries) StartLibraries();
  DialogBoxParamA(instance, MAKEINTRESOURCEA(controls ? 2 : 1), nullptr, MinimalDialogProc, 0);
  if (libraries) StopLibraries();
  return 0;
}

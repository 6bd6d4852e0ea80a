// Times the start-up of Win32 programs up to their shown main window: starts a program,
// waits until a window of its process with the given class or caption is visible, then
// closes it and waits for the process to end. The programs take turns, run after run,
// so that a slow moment of a shared machine falls on both alike.
//
// usage: startup-timer RUNS COMMAND class:NAME|title:NAME [COMMAND WINDOW]...
// COMMAND is the program's command line. Prints one line per start, tab-separated:
// run, milliseconds, command; run 0 is a warm-up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Program {
  std::string commandLine;
  std::string windowClass;  // empty: match by caption
  std::string caption;      // empty: match by class
};

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// A visible window of the given process that matches the program's class or caption.
HWND FindShownWindow(const Program& program, DWORD processId) {
  const char* windowClass = program.windowClass.empty() ? nullptr : program.windowClass.c_str();
  const char* caption = program.caption.empty() ? nullptr : program.caption.c_str();
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, windowClass, caption)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// Milliseconds from CreateProcess to the shown window, or a negative number on failure.
double TimeOneStart(const Program& program) {
  std::string commandLine = program.commandLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", program.commandLine.c_str(),
                 GetLastError());
    return -1;
  }
  CloseHandle(process.hThread);
  double elapsed = -1;
  HWND window = nullptr;
  for (int waited = 0; waited < 60000; ++waited) {
    window = FindShownWindow(program, process.dwProcessId);
    if (window != nullptr) {
      LARGE_INTEGER shown;
      QueryPerformanceCounter(&shown);
      elapsed = Milliseconds(started, shown);
      break;
    }
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;  // ended early
  }
  if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "%s did not end when closed\n", program.commandLine.c_str());
    TerminateProcess(process.hProcess, 1);
    elapsed = -1;
  }
  CloseHandle(process.hProcess);
  return elapsed;
}

bool ParseWindow(const char* text, Program& program) {
  if (std::strncmp(text, "class:", 6) == 0) {
    program.windowClass = text + 6;
  } else if (std::strncmp(text, "title:", 6) == 0) {
    program.caption = text + 6;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 0;
  bool usable = runs >= 1 && argc >= 4 && argc % 2 == 0;
  std::vector<Program> programs;
  for (int i = 2; usable && i + 1 < argc; i += 2) {
    Program program;
    program.commandLine = argv[i];
    usable = ParseWindow(argv[i + 1], program);
    programs.push_back(program);
  }
  if (!usable) {
    std::fprintf(stderr, "usage: startup-timer RUNS COMMAND class:NAME|title:NAME ...\n");
    return 2;
  }
  int failures = 0;
  for (int run = 0; run <= runs; ++run) {
    for (const Program& program : programs) {
      const double elapsed = TimeOneStart(program);
      if (elapsed < 0) ++failures;
      std::printf("%d\t%.1f\t%s\n", run, elapsed, program.commandLine.c_str());
      std::fflush(stdout);
    }
  }
  return failures == 0 ? 0 : 1;
}

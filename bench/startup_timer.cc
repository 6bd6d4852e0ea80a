// Times the start-up of programs. On Windows, Win32 programs up to their shown main
// window: starts a program, waits until a window of its process with the given class or
// caption is visible, then closes it and waits for the process to end. Elsewhere,
// command-line programs from their start to their end, their output thrown away. The
// programs take turns, run after run, so that a slow moment of a shared machine falls on
// all of them alike.
//
// usage (Windows): startup-timer RUNS COMMAND class:NAME|title:NAME [COMMAND WINDOW]...
// usage (elsewhere): startup-timer RUNS COMMAND [COMMAND]...
// COMMAND is the program's command line (elsewhere split at spaces, with no quoting).
// Prints one line per start, tab-separated: run, milliseconds, command, and elsewhere
// than on Windows the milliseconds of processor time the program took (user and system),
// which a busy machine disturbs less; run 0 is a warm-up.
#ifdef _WIN32
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
double MillisecondsToShownWindow(const Program& program) {
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

struct Timing {
  double wall = -1;  // negative: the program failed
};

Timing TimeOneStart(const Program& program) { return {MillisecondsToShownWindow(program)}; }

void PrintTiming(int run, const Program& program, const Timing& timing) {
  std::printf("%d\t%.1f\t%s\n", run, timing.wall, program.commandLine.c_str());
}

constexpr int kArgumentsPerProgram = 2;
constexpr char kProgramsUsage[] = "COMMAND class:NAME|title:NAME [COMMAND WINDOW]...";

bool ParseProgram(char** arguments, Program& program) {
  program.commandLine = arguments[0];
  return ParseWindow(arguments[1], program);
}

}  // namespace

#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Program {
  std::string commandLine;
  std::vector<std::string> words;
};

double MillisecondsSince(const timespec& from) {
  timespec to;
  clock_gettime(CLOCK_MONOTONIC, &to);
  return 1000.0 * static_cast<double>(to.tv_sec - from.tv_sec) +
         static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e6;
}

struct Timing {
  double wall = -1;  // negative: the program failed
  double processor = 0;
};

double Milliseconds(const timeval& time) {
  return 1000.0 * static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1000.0;
}

// From the start to the end of the program; a negative wall time when it cannot be
// started or does not end with status 0.
Timing TimeOneStart(const Program& program) {
  std::vector<char*> argv;
  for (const std::string& word : program.words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  timespec started;
  clock_gettime(CLOCK_MONOTONIC, &started);
  pid_t child = 0;
  const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    std::fprintf(stderr, "cannot start %s\n", program.commandLine.c_str());
    return {};
  }
  int status = 0;
  rusage usage = {};
  if (wait4(child, &status, 0, &usage) != child) return {};
  Timing timing;
  timing.wall = MillisecondsSince(started);
  timing.processor = Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s did not end with status 0\n", program.commandLine.c_str());
    timing.wall = -1;
  }
  return timing;
}

void PrintTiming(int run, const Program& program, const Timing& timing) {
  std::printf("%d\t%.3f\t%s\t%.3f\n", run, timing.wall, program.commandLine.c_str(),
              timing.processor);
}

constexpr int kArgumentsPerProgram = 1;
constexpr char kProgramsUsage[] = "COMMAND [COMMAND]...";

bool ParseProgram(char** arguments, Program& program) {
  program.commandLine = arguments[0];
  size_t start = 0;
  while (start < program.commandLine.size()) {
    size_t end = program.commandLine.find(' ', start);
    if (end == std::string::npos) end = program.commandLine.size();
    if (end > start) program.words.push_back(program.commandLine.substr(start, end - start));
    start = end + 1;
  }
  return !program.words.empty();
}

}  // namespace
#endif

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 0;
  const int programArguments = argc - 2;
  bool usable = runs >= 1 && programArguments >= kArgumentsPerProgram &&
                programArguments % kArgumentsPerProgram == 0;
  std::vector<Program> programs;
  for (int i = 2; usable && i < argc; i += kArgumentsPerProgram) {
    Program program;
    usable = ParseProgram(argv + i, program);
    programs.push_back(program);
  }
  if (!usable) {
    std::fprintf(stderr, "usage: startup-timer RUNS %s\n", kProgramsUsage);
    return 2;
  }
  int failures = 0;
  for (int run = 0; run <= runs; ++run) {
    for (const Program& program : programs) {
      const Timing timing = TimeOneStart(program);
      if (timing.wall < 0) ++failures;
      PrintTiming(run, program, timing);
      std::fflush(stdout);
    }
  }
  return failures == 0 ? 0 : 1;
}

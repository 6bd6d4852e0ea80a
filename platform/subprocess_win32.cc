// Child processes on Windows: CreateProcess with standard output through a pipe.
#include <windows.h>

#include <cstring>

#include "platform/format.h"
#include "platform/subprocess.h"

namespace korvane {
namespace {

constexpr size_t kMaxOutputBytes = 1u << 20;
constexpr DWORD kPollMs = 20;
constexpr DWORD kEndAfterStopMs = 5000;

// A handle closed on every path out of the scope that holds it.
struct ScopedHandle {
  HANDLE handle = nullptr;
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE h) : handle(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Close(); }
  void Close() {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
  }
};

// Whatever the child has written so far; reads only what is there, never waits. What
// passes kMaxOutputBytes is read and dropped, so that the child never blocks on a full pipe.
void DrainPipe(HANDLE pipe, std::string* output) {
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) || got == 0) return;
    if (output->size() < kMaxOutputBytes) output->append(buffer, got);
  }
}

std::string CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& arg : argv) {
    line += (line.empty() ? "" : " ") + WindowsCommandLineArgument(arg);
  }
  return line;
}

// This process's environment block with the extra entries in front, each replacing the
// entry of its name; empty when there are none, for the child to inherit the environment.
std::string EnvironmentBlock(const std::vector<std::string>& extraEnv) {
  if (extraEnv.empty()) return std::string();
  std::string block;
  for (const std::string& extra : extraEnv) block += extra + '\0';
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; entry != nullptr && *entry != '\0';
       entry += std::strlen(entry) + 1) {
    const char* equals = std::strchr(entry + 1, '=');  // "=C:=C:\" entries start with '='
    const std::string name(entry, equals == nullptr ? std::strlen(entry) : equals - entry);
    bool replaced = false;
    for (const std::string& extra : extraEnv) {
      replaced = replaced || _strnicmp(extra.c_str(), (name + "=").c_str(), name.size() + 1) == 0;
    }
    if (!replaced) block += std::string(entry) + '\0';
  }
  if (strings != nullptr) FreeEnvironmentStringsA(strings);
  return block + '\0';
}

// Waits for the child's end up to timeoutMs, reading its output meanwhile; false when the
// time ran out.
bool CollectUntilEnd(HANDLE child, HANDLE output, int timeoutMs, std::string* text) {
  const DWORD start = GetTickCount();
  for (;;) {
    DrainPipe(output, text);
    if (WaitForSingleObject(child, kPollMs) != WAIT_TIMEOUT) return true;
    if (GetTickCount() - start >= static_cast<DWORD>(timeoutMs)) return false;
  }
}

// Starts the child with standard output to output and standard input (and, unless kept,
// standard error) from the null device. False with *error when it could not start.
bool StartChild(const ChildProcess& request, HANDLE output, PROCESS_INFORMATION* process,
                std::string* error) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  ScopedHandle nul(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                               nullptr));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.handle;
  startup.hStdOutput = output;
  startup.hStdError = request.keepStandardError ? GetStdHandle(STD_ERROR_HANDLE) : nul.handle;
  std::string commandLine = CommandLine(request.argv);
  std::string environment = EnvironmentBlock(request.extraEnv);
  if (CreateProcessA(request.argv[0].c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                     CREATE_NO_WINDOW, environment.empty() ? nullptr : &environment[0], nullptr,
                     &startup, process)) {
    return true;
  }
  *error =
      Format("can't start %s (error %u)", request.argv[0], static_cast<unsigned>(GetLastError()));
  return false;
}

}  // namespace

ChildResult RunChild(const ChildProcess& request) {
  ChildResult result;
  if (request.argv.empty()) {
    result.error = "nothing to start";
    return result;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  ScopedHandle readEnd, writeEnd;
  if (!CreatePipe(&readEnd.handle, &writeEnd.handle, &inherit, 1 << 16) ||
      !SetHandleInformation(readEnd.handle, HANDLE_FLAG_INHERIT, 0)) {
    result.error = Format("can't make a pipe (error %u)", static_cast<unsigned>(GetLastError()));
    return result;
  }
  PROCESS_INFORMATION process = {};
  if (!StartChild(request, writeEnd.handle, &process, &result.error)) return result;
  ScopedHandle child(process.hProcess), thread(process.hThread);
  writeEnd.Close();
  if (!CollectUntilEnd(child.handle, readEnd.handle, request.timeoutMs, &result.output)) {
    TerminateProcess(child.handle, 1);
    WaitForSingleObject(child.handle, kEndAfterStopMs);
    DrainPipe(readEnd.handle, &result.output);
    result.end = ChildResult::End::kTimedOut;
    return result;
  }
  DrainPipe(readEnd.handle, &result.output);
  DWORD exitCode = 0;
  GetExitCodeProcess(child.handle, &exitCode);
  result.end = ChildResult::End::kExited;
  result.exitCode = exitCode;
  return result;
}

std::string ThisProgramPath() {
  char path[MAX_PATH * 2] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  return n == 0 || n >= sizeof(path) ? std::string() : std::string(path, n);
}

}  // namespace korvane

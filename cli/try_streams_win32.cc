// korvane check --try on Windows: each stream decoded by a child process of this program
// (korvane-cli.exe check --try-stream N FILE), stopped when it outlives the time limit.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/try_streams.h"
#include "platform/format.h"
#include "platform/win32/live_system.h"

namespace korvane {
namespace {

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

std::string ThisProgram() {
  char path[MAX_PATH * 2] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  return n == 0 || n >= sizeof(path) ? std::string() : std::string(path, n);
}

// Whatever the child wrote before it ended; reads only what is there, never waits.
std::string DrainPipe(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) || got == 0) break;
    text.append(buffer, got);
    if (text.size() > (1u << 20)) break;
  }
  return text;
}

TryFinding RunChild(const std::string& program, const std::string& path, size_t stream,
                    int timeoutMs) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  ScopedHandle readEnd, writeEnd;
  if (!CreatePipe(&readEnd.handle, &writeEnd.handle, &inherit, 1 << 16) ||
      !SetHandleInformation(readEnd.handle, HANDLE_FLAG_INHERIT, 0)) {
    return FindingFromExitCode(0, "making a pipe for the try");
  }
  ScopedHandle nul(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                               nullptr));
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.handle;
  startup.hStdOutput = writeEnd.handle;
  startup.hStdError = nul.handle;
  std::string commandLine = WindowsCommandLineArgument(program) + " check --try-stream " +
                            std::to_string(stream) + " " + WindowsCommandLineArgument(path);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    TryFinding finding;
    finding.text = Format("not tried: can't start %s (error %u)", program,
                          static_cast<unsigned>(GetLastError()));
    return finding;
  }
  ScopedHandle child(process.hProcess), thread(process.hThread);
  writeEnd.Close();
  // The child's one line fits the pipe, so waiting for its end never blocks it.
  if (WaitForSingleObject(child.handle, static_cast<DWORD>(timeoutMs)) == WAIT_TIMEOUT) {
    TerminateProcess(child.handle, 1);
    WaitForSingleObject(child.handle, 5000);
    return HungFinding(timeoutMs, LastStage(DrainPipe(readEnd.handle)));
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(child.handle, &exitCode);
  return FindingFromChildOutput(DrainPipe(readEnd.handle), exitCode);
}

void TryFile(const std::string& program, int timeoutMs, FileCheck* file) {
  file->tries.clear();
  const std::vector<size_t> toTry = StreamsToTry(*file);
  for (size_t i = 0; i < file->walk.streams.size(); ++i) {
    bool tried = false;
    for (size_t s : toTry) tried = tried || s == i;
    file->tries.push_back(tried ? RunChild(program, file->path, i, timeoutMs)
                                : UntriedFinding(*file, i));
  }
}

}  // namespace

bool TryFiles(const TryRequest& request, std::vector<FileCheck>* files, std::string* error) {
  const std::string program = ThisProgram();
  if (program.empty()) {
    *error = "--try can't find this program's own path to start its tries";
    return false;
  }
  for (FileCheck& file : *files) {
    if (file.error.empty()) TryFile(program, request.timeoutMs, &file);
  }
  return true;
}

int TryFindingsMain(const std::vector<std::string>& paths, int timeoutMs) {
  std::unique_ptr<System> system = MakeLiveSystem();
  const InstalledDrivers drivers = ReadInstalledDrivers(*system);
  const std::string program = ThisProgram();
  for (size_t f = 0; f < paths.size(); ++f) {
    FileCheck file = CheckAviFile(*system, drivers, paths[f]);
    if (!file.error.empty()) continue;
    TryFile(program, timeoutMs, &file);
    for (size_t s = 0; s < file.tries.size(); ++s) {
      std::printf("%s\n", FindingLine(f, s, file.tries[s]).c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}

}  // namespace korvane

// Finding Wine and the Windows CLI, placing files on a prefix's drives, and running the
// Windows CLI under a time limit.
#include "cli/wine_try.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/try_finding.h"

extern char** environ;

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string Canonical(const std::string& path) {
  std::error_code ignored;
  fs::path result = fs::weakly_canonical(fs::absolute(path, ignored), ignored);
  if (result.empty()) result = fs::absolute(path, ignored).lexically_normal();
  return result.string();
}

bool IsExecutableFile(const std::string& path) {
  std::error_code ignored;
  return fs::is_regular_file(path, ignored) && access(path.c_str(), X_OK) == 0;
}

bool IsFile(const std::string& path) {
  std::error_code ignored;
  return fs::is_regular_file(path, ignored);
}

std::optional<std::string> OnPath(const char* pathVariable, const std::string& name) {
  if (pathVariable == nullptr) return std::nullopt;
  const std::string paths = pathVariable;
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find(':', start);
    if (end == std::string::npos) end = paths.size();
    const std::string dir = end > start ? paths.substr(start, end - start) : ".";
    const std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<std::string> FindWine(const WineTryEnvironment& env, bool view64,
                                    std::string* error) {
  if (!view64) {
    if (env.wine32 != nullptr && env.wine32[0] != '\0') {
      if (IsExecutableFile(env.wine32)) return std::string(env.wine32);
      *error = std::string("--try: $KORVANE_WINE32 is ") + env.wine32 + ", which is not a program";
      return std::nullopt;
    }
    // scripts/setup-wine32.sh makes it in the build tree, beside the native build.
    const std::string built = env.programDir + "/../wine32/bin/wine";
    if (IsExecutableFile(built)) return Canonical(built);
    *error =
        "--try can't run the 32-bit view here: it needs a Wine that runs 32-bit programs, "
        "and none is named; set KORVANE_WINE32 to its wine program (scripts/setup-wine32.sh "
        "makes one in build/wine32), or try the 64-bit view of a 64-bit prefix with --view 64";
    return std::nullopt;
  }
  if (env.wine64 != nullptr && env.wine64[0] != '\0') {
    if (IsExecutableFile(env.wine64)) return std::string(env.wine64);
    *error = std::string("--try: $KORVANE_WINE64 is ") + env.wine64 + ", which is not a program";
    return std::nullopt;
  }
  if (auto wine = OnPath(env.path, "wine64")) return wine;
  if (IsExecutableFile("/usr/lib/wine/wine64")) return std::string("/usr/lib/wine/wine64");
  if (auto wine = OnPath(env.path, "wine")) return wine;
  *error =
      "--try needs Wine to run the prefix's decoders, and neither wine64 nor wine is "
      "installed; install Wine or set KORVANE_WINE64 to its wine64 program";
  return std::nullopt;
}

std::optional<std::string> FindCli(const WineTryEnvironment& env, bool view64, std::string* error) {
  const char* named = view64 ? env.cliWin64 : env.cliWin32;
  const char* variable = view64 ? "KORVANE_CLI_WIN64" : "KORVANE_CLI_WIN32";
  if (named != nullptr && named[0] != '\0') {
    if (IsFile(named)) return std::string(named);
    *error = std::string("--try: $") + variable + " is " + named + ", which is not a file";
    return std::nullopt;
  }
  const std::string beside =
      env.programDir + (view64 ? "/korvane-cli-x86_64.exe" : "/korvane-cli-i686.exe");
  const std::string buildTree =
      env.programDir + (view64 ? "/../win64/korvane-cli.exe" : "/../win32/korvane-cli.exe");
  if (IsFile(beside)) return beside;
  if (IsFile(buildTree)) return Canonical(buildTree);
  *error = std::string("--try needs korvane-cli.exe built for the ") +
           (view64 ? "64-bit" : "32-bit") + " view to run under Wine; looked for " + beside +
           " and " + Canonical(buildTree) + "; set " + variable + " to it";
  return std::nullopt;
}

long long NowMs() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

std::optional<std::string> WindowsPathOnDrives(const std::map<char, std::string>& drives,
                                               const std::string& hostPath) {
  const std::string file = Canonical(hostPath);
  std::optional<std::string> best;
  size_t bestLength = 0;
  for (const auto& [letter, folder] : drives) {
    std::string root = Canonical(folder);
    if (!root.empty() && root.back() == '/') root.pop_back();
    const bool inside = file.size() > root.size() && file.compare(0, root.size(), root) == 0 &&
                        file[root.size()] == '/';
    if (!inside || (best && root.size() + 1 <= bestLength)) continue;
    std::string windows = std::string(1, letter) + ":" + file.substr(root.size());
    for (char& c : windows) {
      if (c == '/') c = '\\';
    }
    best = windows;
    bestLength = root.size() + 1;
  }
  return best;
}

std::string WhyNo32BitSide(const std::string& prefix) {
  std::error_code ignored;
  const std::string syswow64 = prefix + "/drive_c/windows/syswow64";
  if (!fs::is_directory(syswow64, ignored) || IsFile(syswow64 + "/kernel32.dll")) {
    return std::string();
  }
  return "--try can't run the 32-bit view of " + prefix +
         ": it is a 64-bit prefix without its 32-bit side (its syswow64 holds no kernel32.dll, "
         "as when a Wine without its 32-bit half made it); try the 64-bit view with --view 64";
}

WineTryEnvironment CurrentWineTryEnvironment() {
  WineTryEnvironment env;
  env.wine64 = std::getenv("KORVANE_WINE64");
  env.wine32 = std::getenv("KORVANE_WINE32");
  env.cliWin64 = std::getenv("KORVANE_CLI_WIN64");
  env.cliWin32 = std::getenv("KORVANE_CLI_WIN32");
  env.path = std::getenv("PATH");
  std::error_code ignored;
  env.programDir = fs::read_symlink("/proc/self/exe", ignored).parent_path().string();
  return env;
}

std::optional<WineTool> FindWineTool(const WineTryEnvironment& environment, bool view64,
                                     std::string* error) {
  const auto wine = FindWine(environment, view64, error);
  if (!wine) return std::nullopt;
  const auto cli = FindCli(environment, view64, error);
  if (!cli) return std::nullopt;
  return WineTool{*wine, *cli};
}

bool RunCaught(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
               int timeoutMs, std::string* output, int* exitStatus, std::string* error) {
  int pipeEnds[2];
  if (argv.empty() || pipe(pipeEnds) != 0) {
    *error = std::string("can't make a pipe: ") + std::strerror(errno);
    return false;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envStrings = extraEnv;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* equals = std::strchr(*e, '=');
    const std::string name(*e, equals == nullptr ? std::strlen(*e) : equals - *e);
    bool replaced = false;
    for (const std::string& extra : extraEnv) {
      replaced = replaced || extra.compare(0, name.size() + 1, name + "=") == 0;
    }
    if (!replaced) envStrings.push_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& entry : envStrings) envp.push_back(&entry[0]);
  envp.push_back(nullptr);

  // Closed by a successful exec; a failed one writes its errno here.
  int execEnds[2];
  if (pipe2(execEnds, O_CLOEXEC) != 0) {
    *error = std::string("can't make a pipe: ") + std::strerror(errno);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return false;
  }
  const pid_t child = fork();
  if (child < 0) {
    *error = std::string("can't start ") + argv[0] + ": " + std::strerror(errno);
    for (int fd : {pipeEnds[0], pipeEnds[1], execEnds[0], execEnds[1]}) close(fd);
    return false;
  }
  if (child == 0) {
    setpgid(0, 0);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, 0);
    dup2(pipeEnds[1], 1);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execve(args[0], args.data(), envp.data());
    const int execError = errno;
    if (write(execEnds[1], &execError, sizeof(execError)) < 0) _exit(126);
    _exit(127);
  }
  setpgid(child, child);
  close(pipeEnds[1]);
  close(execEnds[1]);
  int execError = 0;
  ssize_t execGot;
  while ((execGot = read(execEnds[0], &execError, sizeof(execError))) < 0 && errno == EINTR) {
  }
  close(execEnds[0]);
  if (execGot == static_cast<ssize_t>(sizeof(execError))) {
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    *error = "can't start " + argv[0] + ": " + std::strerror(execError);
    return false;
  }
  const long long deadline = NowMs() + timeoutMs;
  bool timedOut = false;
  bool exited = false;
  bool endOfPipe = false;
  int status = 0;
  char buffer[4096];
  // Wine's server may inherit the pipe and outlive the program, so the program's own end,
  // not the pipe's, ends the run.
  while (!exited) {
    if (NowMs() >= deadline) {
      timedOut = true;
      break;
    }
    pollfd readable = {pipeEnds[0], POLLIN, 0};
    const int ready = poll(&readable, endOfPipe ? 0 : 1, endOfPipe ? 20 : 100);
    if (ready > 0) {
      const ssize_t got = read(pipeEnds[0], buffer, sizeof(buffer));
      if (got > 0 && output->size() < (16u << 20)) output->append(buffer, got);
      if (got > 0) continue;
      endOfPipe = got == 0;
    }
    exited = waitpid(child, &status, WNOHANG) == child;
  }
  if (exited) {
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof(buffer))) > 0) {
      if (output->size() < (16u << 20)) output->append(buffer, got);
    }
  }
  close(pipeEnds[0]);
  if (timedOut) {
    kill(-child, SIGKILL);
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (timedOut) {
    *error = argv[0] + " did not finish within " + DurationText(timeoutMs) + " and was stopped";
    return false;
  }
  *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

}  // namespace korvane

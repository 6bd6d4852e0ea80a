// Child processes on POSIX: fork and execve, standard output through a pipe, the child in
// a process group of its own so that stopping it stops what it started.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/subprocess.h"

extern char** environ;

namespace korvane {
namespace {

constexpr size_t kMaxOutputBytes = 16u << 20;

// A file descriptor closed on every path out of the scope that holds it.
class ScopedFd {
 public:
  ScopedFd() = default;
  ~ScopedFd() { Close(); }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  int* put() { return &fd_; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  ScopedFd readEnd, writeEnd;
};

bool MakePipe(Pipe* pipeEnds, int flags, std::string* error) {
  int fds[2];
  if (pipe2(fds, flags) != 0) {
    *error = std::string("can't make a pipe: ") + std::strerror(errno);
    return false;
  }
  *pipeEnds->readEnd.put() = fds[0];
  *pipeEnds->writeEnd.put() = fds[1];
  return true;
}

long long NowMs() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void WaitFor(pid_t child, int* status) {
  while (waitpid(child, status, 0) < 0 && errno == EINTR) {
  }
}

// This process's environment with the extra entries in front, each replacing the entry
// of its name.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extraEnv) {
  std::vector<std::string> entries = extraEnv;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* equals = std::strchr(*e, '=');
    const std::string name(*e, equals == nullptr ? std::strlen(*e) : equals - *e);
    bool replaced = false;
    for (const std::string& extra : extraEnv) {
      replaced = replaced || extra.compare(0, name.size() + 1, name + "=") == 0;
    }
    if (!replaced) entries.push_back(*e);
  }
  return entries;
}

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(&s[0]);
  pointers.push_back(nullptr);
  return pointers;
}

// In the child after fork: only calls that are safe there, and _exit on every path.
[[noreturn]] void ExecChild(char* const* args, char* const* envp, const Pipe& output,
                            const Pipe& execStatus, bool keepStandardError) {
  setpgid(0, 0);
  const int devNull = open("/dev/null", O_RDWR);
  if (devNull >= 0) {
    dup2(devNull, 0);
    if (!keepStandardError) dup2(devNull, 2);
  }
  dup2(output.writeEnd.get(), 1);
  close(output.readEnd.get());
  close(output.writeEnd.get());
  execve(args[0], args, envp);
  const int execError = errno;
  if (write(execStatus.writeEnd.get(), &execError, sizeof(execError)) < 0) _exit(126);
  _exit(127);
}

// The errno of a failed exec, which the child writes on a pipe that a successful exec
// closes; 0 when the exec succeeded.
int ExecError(Pipe* execStatus) {
  execStatus->writeEnd.Close();
  int execError = 0;
  ssize_t got;
  while ((got = read(execStatus->readEnd.get(), &execError, sizeof(execError))) < 0 &&
         errno == EINTR) {
  }
  return got == static_cast<ssize_t>(sizeof(execError)) ? execError : 0;
}

void Append(const char* bytes, ssize_t count, std::string* output) {
  if (count > 0 && output->size() < kMaxOutputBytes) output->append(bytes, count);
}

// Reads the child's output until the child ends or the deadline passes; true when it
// ended, with *status its wait status.
bool CollectUntilEnd(pid_t child, int outputFd, long long deadline, std::string* output,
                     int* status) {
  char buffer[4096];
  bool endOfPipe = false;
  for (;;) {
    if (NowMs() >= deadline) return false;
    pollfd readable = {outputFd, POLLIN, 0};
    const int ready = poll(&readable, endOfPipe ? 0 : 1, endOfPipe ? 20 : 100);
    if (ready > 0) {
      const ssize_t got = read(outputFd, buffer, sizeof(buffer));
      Append(buffer, got, output);
      if (got > 0) continue;
      endOfPipe = got == 0;
    }
    if (waitpid(child, status, WNOHANG) == child) return true;
  }
}

// What is left in the pipe once the child ended, without waiting for whatever it started.
void CollectRest(int outputFd, std::string* output) {
  fcntl(outputFd, F_SETFL, O_NONBLOCK);
  char buffer[4096];
  ssize_t got;
  while ((got = read(outputFd, buffer, sizeof(buffer))) > 0) Append(buffer, got, output);
}

}  // namespace

ChildResult RunChild(const ChildProcess& request) {
  ChildResult result;
  if (request.argv.empty()) {
    result.error = "nothing to start";
    return result;
  }
  std::vector<std::string> argv = request.argv;
  std::vector<std::string> env = ChildEnvironment(request.extraEnv);
  const std::vector<char*> args = NullTerminated(argv);
  const std::vector<char*> envp = NullTerminated(env);
  Pipe output, execStatus;
  if (!MakePipe(&output, 0, &result.error) || !MakePipe(&execStatus, O_CLOEXEC, &result.error)) {
    return result;
  }
  const pid_t child = fork();
  if (child < 0) {
    result.error = "can't start " + argv[0] + ": " + std::strerror(errno);
    return result;
  }
  if (child == 0)
    ExecChild(args.data(), envp.data(), output, execStatus, request.keepStandardError);
  setpgid(child, child);
  output.writeEnd.Close();
  int status = 0;
  if (const int execError = ExecError(&execStatus)) {
    WaitFor(child, &status);
    result.error = "can't start " + argv[0] + ": " + std::strerror(execError);
    return result;
  }
  if (!CollectUntilEnd(child, output.readEnd.get(), NowMs() + request.timeoutMs, &result.output,
                       &status)) {
    kill(-child, SIGKILL);
    WaitFor(child, &status);
    result.end = ChildResult::End::kTimedOut;
    return result;
  }
  CollectRest(output.readEnd.get(), &result.output);
  result.end = ChildResult::End::kExited;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string ThisProgramPath() {
  std::error_code ignored;
  return std::filesystem::read_symlink("/proc/self/exe", ignored).string();
}

}  // namespace korvane

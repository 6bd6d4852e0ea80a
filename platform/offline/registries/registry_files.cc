// The in-memory file through which the registry file loaders read bytes.
#include "platform/offline/registries/registry_files.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace korvane {
namespace {

// An anonymous in-memory file holding bytes, closed when it goes.
class MemoryFile {
 public:
  explicit MemoryFile(const std::string& bytes) {
    fd_ = memfd_create("korvane-registry", MFD_CLOEXEC);
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) {
        close(fd_);
        fd_ = -1;
        return;
      }
      done += static_cast<size_t>(n);
    }
  }
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_ = -1;
};

}  // namespace

std::optional<std::string> ThroughMemoryFile(
    const std::string& bytes,
    const std::function<std::optional<std::string>(const std::string&)>& load) {
  MemoryFile file(bytes);
  if (!file.ok()) return std::string("cannot hold it in memory: ") + std::strerror(errno);
  return load(file.path());
}

}  // namespace korvane

// Any bytes as a small disk image: partitions and file systems through The Sleuth Kit,
// then the Windows installation on each as korvane finds and loads it. Opened or refused
// with a message that names the image, never a crash or a hang.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/offline/machines/machine.h"
#include "platform/offline/open_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("fuzz-image", MFD_CLOEXEC);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  std::string error;
  auto machine = korvane::OpenMachine(path, &error);
  if (!machine && error.rfind(path, 0) != 0) std::abort();
  close(fd);
  return 0;
}

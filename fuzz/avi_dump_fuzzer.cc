// Any file bytes through the file dump: every line well formed, the verdicts complete.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "avi/avi_dump.h"

namespace {

class CheckingWindow : public korvane::ReportLines {};

// A file in memory where the host has such a folder: one is written for every input.
std::string ScratchPath() {
  static const std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  std::string("/korvane-fuzz-avi-") + std::to_string(getpid());
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = ScratchPath();
  static const int removeAtExit = std::atexit([] { unlink(ScratchPath().c_str()); });
  (void)removeAtExit;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  CheckingWindow window;
  korvane::SetMainWindow(&window);
  if (!korvane::DumpAviFile(window, path)) std::abort();
  korvane::SetMainWindow(nullptr);

  // Heading, size, min(size, 384) / 16 dump lines, the magic verdict, perhaps the
  // truncation verdict, the codec line.
  const size_t dumpLines = (size < 384 ? size : 384) / 16;
  const size_t n = window.lines.size();
  if (n != 4 + dumpLines && n != 5 + dumpLines) std::abort();
  for (size_t i = 2; i < 2 + dumpLines; ++i) {
    if (window.lines[i].size() != 67) std::abort();
  }
  if (window.lines.back().rfind("codec by fourcc: ", 0) != 0) std::abort();
  return 0;
}

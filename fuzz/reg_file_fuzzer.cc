// Any bytes as registry.reg: a registry or an error with a line, never a crash.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/memory_registry.h"
#include "platform/offline/formats/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korvane::MemoryRegistry registry;
  const auto error =
      korvane::ParseRegFile(std::string(reinterpret_cast<const char*>(data), size), &registry);
  if (error && (error->line < 1 || error->message.empty())) std::abort();
  return 0;
}

// Any bytes as an NT hive and as a Windows 9x registry file, through hivex and libcreg:
// loaded or refused with a reason, never a crash, an endless walk or a write out of bounds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/offline/registries/creg_file.h"
#include "platform/offline/registries/nt_hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const bool nt : {true, false}) {
    korvane::MemoryRegistry::Key root;
    const auto error =
        nt ? korvane::LoadNtHiveBytes(bytes, &root) : korvane::LoadCregBytes(bytes, &root);
    if (error && error->empty()) std::abort();
  }
  return 0;
}

// Fuzz target: any bytes as a Wine registry file (system.reg, user.reg) must either load
// or be refused with a line number, and the loaded registry must answer every call.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/offline/formats/wine_registry.h"

namespace {

// Walks every key through the registry calls, as the diagnostics would.
void Enumerate(korvane::MemoryRegistry& registry, korvane::RootKey root, const std::string& path,
               int depth) {
  korvane::RegKey key = 0;
  if (depth > 8 || registry.RegOpenKeyExA(root, path, korvane::kKeyRead, &key) != 0) return;
  korvane::RegValue value;
  for (uint32_t i = 0; registry.RegEnumValueA(key, i, 512, 512, &value) == 0; ++i) {
    registry.RegQueryValueExA(key, value.name, 512, &value);
  }
  std::string name;
  for (uint32_t i = 0; registry.RegEnumKeyExA(key, i, 512, &name) == 0 && i < 64; ++i) {
    Enumerate(registry, root, path.empty() ? name : path + "\\" + name, depth + 1);
  }
  registry.RegCloseKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  korvane::MemoryRegistry registry;
  korvane::WineRegistryHeader header;
  const auto error =
      korvane::ParseWineRegistry(bytes, korvane::RootKey::kLocalMachine, &registry, &header);
  if (error) {
    if (error->message.empty()) __builtin_trap();
    return 0;
  }
  Enumerate(registry, korvane::RootKey::kLocalMachine, "", 0);
  return 0;
}

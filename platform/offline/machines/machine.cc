// Helpers every kind of machine shares.
#include "platform/offline/machines/machine.h"

namespace korvane {

std::string RegistryText(const MemoryRegistry::Key* key, const std::string& name) {
  const MemoryRegistry::Value* value =
      key == nullptr ? nullptr : MemoryRegistry::FindValue(key, name);
  if (value == nullptr) return std::string();
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

}  // namespace korvane

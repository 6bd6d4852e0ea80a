// Helpers every kind of machine shares.
#include "platform/offline/machines/machine.h"

namespace korvane {

CodePages RegistryCodePages(const MemoryRegistry& registry) {
  CodePages pages;
  // A Wine prefix's CurrentControlSet is a link to the first set, which it always has.
  for (const char* set : {"System\\CurrentControlSet", "System\\ControlSet001"}) {
    const auto* key =
        registry.FindKey(RootKey::kLocalMachine, std::string(set) + "\\Control\\Nls\\CodePage");
    if (key == nullptr) continue;
    pages.ansi = CodePageNamed(RegistryText(key, "ACP")).value_or(pages.ansi);
    pages.oem = CodePageNamed(RegistryText(key, "OEMCP")).value_or(pages.oem);
    break;
  }
  return pages;
}

std::string RegistryText(const MemoryRegistry::Key* key, const std::string& name) {
  const MemoryRegistry::Value* value =
      key == nullptr ? nullptr : MemoryRegistry::FindValue(key, name);
  if (value == nullptr) return std::string();
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

}  // namespace korvane

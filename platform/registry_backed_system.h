// A System whose registry calls all go to one registry: an in-memory one, or another
// System's. Implementations answer the rest and override a registry call only to change it.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace korvane {

class RegistryBackedSystem : public System {
 public:
  long RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access, RegKey* key) override {
    return Registry().RegOpenKeyExA(root, path, access, key);
  }
  long RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                       RegKey* key) override {
    return Registry().RegCreateKeyExA(root, path, access, key);
  }
  long RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                     RegValue* value) override {
    return Registry().RegEnumValueA(key, index, nameCapacity, dataCapacity, value);
  }
  long RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity,
                     std::string* name) override {
    return Registry().RegEnumKeyExA(key, index, nameCapacity, name);
  }
  long RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                        RegValue* value) override {
    return Registry().RegQueryValueExA(key, name, dataCapacity, value);
  }
  long RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override {
    return Registry().RegSetValueExA(key, name, type, data);
  }
  long RegCloseKey(RegKey key) override { return Registry().RegCloseKey(key); }

 protected:
  // Where the registry calls go.
  virtual RegistryCalls& Registry() = 0;
};

}  // namespace korvane

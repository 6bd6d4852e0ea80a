// A registry key that is closed on every path out of the scope that opened it.
#pragma once

#include <string>

#include "platform/system.h"

namespace korvane {

class ScopedRegKey {
 public:
  explicit ScopedRegKey(System& system) : system_(system) {}
  ~ScopedRegKey() { Close(); }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;

  // RegOpenKeyExA and RegCreateKeyExA: true when the key is held. A key that failed to
  // open is not closed, whatever the platform left in the slot.
  bool Open(RootKey root, const std::string& path, uint32_t access) {
    Close();
    return Held(system_.RegOpenKeyExA(root, path, access, &key_));
  }
  bool Create(RootKey root, const std::string& path, uint32_t access) {
    Close();
    return Held(system_.RegCreateKeyExA(root, path, access, &key_));
  }

  // Closes the key now, where a sequence must close it before going on.
  void Close() {
    if (key_ != 0) system_.RegCloseKey(key_);
    key_ = 0;
  }

  RegKey get() const { return key_; }

 private:
  bool Held(long result) {
    if (result == kErrorSuccess) return true;
    key_ = 0;
    return false;
  }

  System& system_;
  RegKey key_ = 0;
};

}  // namespace korvane

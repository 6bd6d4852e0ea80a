// Helpers shared by the registry file loaders: names, text and in-memory files.
#include "platform/offline/registry_files.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/ascii.h"

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

std::string NarrowUtf8(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    uint32_t code = c;
    size_t length = 1;
    if (c >= 0xC0 && c < 0xE0)
      length = 2, code = c & 0x1F;
    else if (c >= 0xE0 && c < 0xF0)
      length = 3, code = c & 0x0F;
    else if (c >= 0xF0)
      length = 4, code = c & 0x07;
    if (length > 1) {
      if (i + length > utf8.size()) {
        out += '?';
        break;
      }
      for (size_t k = 1; k < length; ++k) code = code << 6 | (utf8[i + k] & 0x3F);
    } else if (c >= 0x80) {
      code = '?';  // a stray continuation byte
    }
    out += code < 0x100 ? static_cast<char>(code) : '?';
    i += length;
  }
  return out;
}

MemoryRegistry::Key* AddSubkey(MemoryRegistry::Key* parent, const std::string& name) {
  const std::string lower = AsciiLower(name);
  if (parent->subkeyIndex.size() == parent->subkeys.size()) {
    const auto it = parent->subkeyIndex.find(lower);
    if (it != parent->subkeyIndex.end()) return it->second;
  } else {
    for (const auto& sub : parent->subkeys) {
      if (EqualsIgnoringCase(sub->name, name)) return sub.get();
    }
  }
  parent->subkeys.push_back(std::make_unique<MemoryRegistry::Key>());
  MemoryRegistry::Key* key = parent->subkeys.back().get();
  key->name = name;
  if (parent->subkeyIndex.size() + 1 == parent->subkeys.size())
    parent->subkeyIndex.emplace(lower, key);
  return key;
}

std::optional<std::string> LoadNtHiveBytes(const std::string& bytes, MemoryRegistry::Key* into,
                                           const std::string& subkey) {
  return ThroughMemoryFile(bytes,
                           [&](const std::string& path) { return LoadNtHive(path, into, subkey); });
}

}  // namespace korvane

// NT registry hives through hivex, into a MemoryRegistry.
#include "platform/offline/registries/nt_hive.h"

#include <hivex.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <set>
#include <type_traits>

#include "platform/byte_reader.h"
#include "platform/offline/drives/host_drive.h"
#include "platform/offline/registries/registry_files.h"
#include "platform/text_encoding.h"

namespace korvane {
namespace {

struct HiveCloser {
  void operator()(hive_h* hive) const { hivex_close(hive); }
};
using Hive = std::unique_ptr<hive_h, HiveCloser>;

// What hivex hands over with malloc.
template <typename T>
struct Freed {
  void operator()(T* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, Freed<char>>;
template <typename T>
using CArray = std::unique_ptr<T, Freed<T>>;

bool IsText(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// hivex says what failed in errno, whose texts ("Invalid argument") mean nothing to a
// reader of a hive: only running out of memory is said as such.
std::string Failure(const char* what) {
  return std::string(what) + (errno == ENOMEM ? " (out of memory)" : " (the hive is damaged)");
}

// Why hivex refused the file at path, in a reader's words: the header is checked as
// Windows writes it (signature, checksum, the length of the data it declares).
std::string WhyNotAHive(const std::string& path) {
  const int opened = errno;
  std::string bytes;
  if (!ReadHostFile(path, kRegistryFileLimit, &bytes)) return "cannot be read";
  if (bytes.empty()) return "empty (0 bytes), not a registry hive";
  constexpr size_t kBaseBlock = 0x1000;
  const ByteReader header(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (bytes.compare(0, 4, "CREG") == 0) return "a Windows 9x registry file, not an NT hive";
  if (bytes.size() < kBaseBlock || bytes.compare(0, 4, "regf") != 0) {
    return "not a registry hive (no regf header)";
  }
  const uint64_t declared = kBaseBlock + uint64_t{header.U32At(0x28)};
  if (declared > bytes.size()) {
    return "cut short (" + std::to_string(bytes.size()) + " bytes of the " +
           std::to_string(declared) + " its header declares)";
  }
  uint32_t checksum = 0;
  for (size_t at = 0; at < 0x1FC; at += 4) checksum ^= header.U32At(at);
  if (checksum != header.U32At(0x1FC)) return "a registry hive whose header is damaged";
  return opened == ENOMEM ? "out of memory" : "a damaged registry hive";
}

class HiveWalk {
 public:
  HiveWalk(hive_h* hive, CodePage page) : hive_(hive), page_(page) {}

  std::optional<std::string> Copy(hive_node_h node, MemoryRegistry::Key* into, int depth) {
    if (depth > kRegistryDepthLimit) return std::string("keys nested deeper than Windows allows");
    if (!visited_.insert(node).second) return std::string("a key is its own ancestor (a loop)");
    if (auto error = CopyValues(node, into)) return error;
    errno = 0;
    CArray<hive_node_h> children(hivex_node_children(hive_, node));
    if (!children) return Failure("a key's subkey list cannot be read");
    for (const hive_node_h* child = children.get(); *child != 0; ++child) {
      errno = 0;
      CString name(hivex_node_name(hive_, *child));
      if (!name) return Failure("a key name cannot be read");
      MemoryRegistry::Key* key = into->MakeSubkey(Utf8ToAnsi(name.get(), page_));
      if (auto error = Copy(*child, key, depth + 1)) return error;
    }
    return std::nullopt;
  }

 private:
  std::optional<std::string> CopyValues(hive_node_h node, MemoryRegistry::Key* into) {
    errno = 0;
    CArray<hive_value_h> values(hivex_node_values(hive_, node));
    if (!values) return Failure("a key's value list cannot be read");
    for (const hive_value_h* value = values.get(); *value != 0; ++value) {
      errno = 0;
      CString name(hivex_value_key(hive_, *value));
      if (!name) return Failure("a value name cannot be read");
      // hivex hands back the type as the hive stores it, and real hives hold types its
      // enum does not name (device properties keep 0xFFFF00xx): it is kept as a number,
      // never read back as the enum.
      std::underlying_type_t<hive_type> type = hive_t_REG_NONE;
      size_t size = 0;
      errno = 0;
      CString data(hivex_value_value(hive_, *value, reinterpret_cast<hive_type*>(&type), &size));
      if (!data) return Failure("a value's data cannot be read");
      const auto* bytes = reinterpret_cast<const uint8_t*>(data.get());
      std::vector<uint8_t> stored;
      if (IsText(type)) {
        const std::string text = Utf16LeToAnsi(bytes, size / 2, page_);
        stored.assign(text.begin(), text.end());
      } else {
        stored.assign(bytes, bytes + size);
      }
      MemoryRegistry::SetValue(into, Utf8ToAnsi(name.get(), page_), static_cast<uint32_t>(type),
                               std::move(stored));
    }
    return std::nullopt;
  }

  hive_h* hive_;
  CodePage page_;
  std::set<hive_node_h> visited_;
};

}  // namespace

std::optional<std::string> LoadNtHive(const std::string& path, MemoryRegistry::Key* into,
                                      const std::string& subkey, CodePage page) {
  errno = 0;
  Hive hive(hivex_open(path.c_str(), 0));
  if (!hive) return WhyNotAHive(path);
  errno = 0;
  hive_node_h node = hivex_root(hive.get());
  if (node == 0) return Failure("the hive has no root key");
  size_t start = 0;
  while (start < subkey.size()) {
    size_t end = subkey.find('\\', start);
    if (end == std::string::npos) end = subkey.size();
    const std::string part = subkey.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    errno = 0;
    node = hivex_node_get_child(hive.get(), node, part.c_str());
    if (node == 0) return errno != 0 ? Failure("a key cannot be read") : "it has no key " + subkey;
  }
  return HiveWalk(hive.get(), page).Copy(node, into, 0);
}

std::optional<std::string> LoadNtHiveBytes(const std::string& bytes, MemoryRegistry::Key* into,
                                           const std::string& subkey, CodePage page) {
  return ThroughMemoryFile(
      bytes, [&](const std::string& path) { return LoadNtHive(path, into, subkey, page); });
}

}  // namespace korvane

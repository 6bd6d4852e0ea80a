// Windows 9x registry files through libcreg, into a MemoryRegistry.
#include "platform/offline/registries/creg_file.h"

#include <libcreg.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "platform/byte_reader.h"
#include "platform/offline/drives/host_drive.h"
#include "platform/offline/registries/registry_files.h"

namespace korvane {
namespace {

constexpr int kWesternCodePage = 1252;  // the 8-bit code page of the files we are given

// One line of libcreg's error chain in a reader's words: without the name of the
// function that said it ("libcreg_file_open_read: ") and the full stop.
std::string Cleaned(std::string line) {
  const size_t colon = line.find(": ");
  if (colon != std::string::npos &&
      line.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == colon) {
    line.erase(0, colon + 2);
  }
  while (!line.empty() && (line.back() == '.' || line.back() == '\r')) line.pop_back();
  return line;
}

// what, with the cause at the bottom of libcreg's error chain (its first line), where
// that says something of the file: a line that names the in-memory file libcreg was
// handed names no file of the user's, and the next one up is taken.
std::string Describe(libcreg_error_t* error, const char* what) {
  std::string text = what;
  if (error != nullptr) {
    char buffer[2048] = {};
    if (libcreg_error_backtrace_sprint(error, buffer, sizeof buffer) > 0) {
      const std::string chain(buffer);
      for (size_t start = 0; start < chain.size();) {
        size_t end = chain.find('\n', start);
        if (end == std::string::npos) end = chain.size();
        const std::string line = Cleaned(chain.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.find("/proc/") != std::string::npos) continue;
        text += " (" + line + ")";
        break;
      }
    }
    libcreg_error_free(&error);
  }
  return text;
}

struct FileCloser {
  void operator()(libcreg_file_t* file) const {
    libcreg_file_close(file, nullptr);
    libcreg_file_free(&file, nullptr);
  }
};
struct KeyFreer {
  void operator()(libcreg_key_t* key) const { libcreg_key_free(&key, nullptr); }
};
struct ValueFreer {
  void operator()(libcreg_value_t* value) const { libcreg_value_free(&value, nullptr); }
};
using File = std::unique_ptr<libcreg_file_t, FileCloser>;
using Key = std::unique_ptr<libcreg_key_t, KeyFreer>;
using Value = std::unique_ptr<libcreg_value_t, ValueFreer>;

// A name as the file stores it, without the terminating zero libcreg may count.
template <typename Item, typename SizeFn, typename NameFn>
std::optional<std::string> RawName(Item* item, SizeFn sizeFn, NameFn nameFn, std::string* error) {
  libcreg_error_t* failure = nullptr;
  size_t size = 0;
  if (sizeFn(item, &size, &failure) != 1) {
    *error = Describe(failure, "a name cannot be read");
    return std::nullopt;
  }
  if (size == 0) return std::string();
  std::vector<uint8_t> bytes(size);
  if (nameFn(item, bytes.data(), bytes.size(), &failure) != 1) {
    *error = Describe(failure, "a name cannot be read");
    return std::nullopt;
  }
  std::string name(bytes.begin(), bytes.end());
  return name.substr(0, name.find('\0'));
}

class CregWalk {
 public:
  std::optional<std::string> Copy(libcreg_key_t* key, MemoryRegistry::Key* into, int depth) {
    if (depth > kRegistryDepthLimit) return std::string("keys nested deeper than Windows allows");
    libcreg_error_t* failure = nullptr;
    off64_t offset = 0;
    if (libcreg_key_get_offset(key, &offset, &failure) != 1) {
      return Describe(failure, "a key cannot be placed");
    }
    if (!visited_.insert(offset).second) return std::string("a key is its own ancestor (a loop)");
    if (auto error = CopyValues(key, into)) return error;
    int count = 0;
    if (libcreg_key_get_number_of_sub_keys(key, &count, &failure) != 1) {
      return Describe(failure, "a key's subkeys cannot be counted");
    }
    for (int i = 0; i < count; ++i) {
      libcreg_key_t* raw = nullptr;
      if (libcreg_key_get_sub_key_by_index(key, i, &raw, &failure) != 1) {
        return Describe(failure, "a subkey cannot be read");
      }
      Key sub(raw);
      std::string error;
      const auto name = RawName(sub.get(), libcreg_key_get_name_size, libcreg_key_get_name, &error);
      if (!name) return error;
      if (auto failed = Copy(sub.get(), into->MakeSubkey(*name), depth + 1)) return failed;
    }
    return std::nullopt;
  }

 private:
  std::optional<std::string> CopyValues(libcreg_key_t* key, MemoryRegistry::Key* into) {
    libcreg_error_t* failure = nullptr;
    int count = 0;
    if (libcreg_key_get_number_of_values(key, &count, &failure) != 1) {
      return Describe(failure, "a key's values cannot be counted");
    }
    for (int i = 0; i < count; ++i) {
      libcreg_value_t* raw = nullptr;
      if (libcreg_key_get_value_by_index(key, i, &raw, &failure) != 1) {
        return Describe(failure, "a value cannot be read");
      }
      Value value(raw);
      std::string error;
      const auto name =
          RawName(value.get(), libcreg_value_get_name_size, libcreg_value_get_name, &error);
      if (!name) return error;
      uint32_t type = 0;
      size_t size = 0;
      if (libcreg_value_get_value_type(value.get(), &type, &failure) != 1 ||
          libcreg_value_get_value_data_size(value.get(), &size, &failure) != 1) {
        return Describe(failure, "a value's data cannot be read");
      }
      std::vector<uint8_t> data(size);
      if (size > 0 && libcreg_value_get_value_data(value.get(), data.data(), size, &failure) != 1) {
        return Describe(failure, "a value's data cannot be read");
      }
      if ((type == kRegSz || type == kRegExpandSz) && (data.empty() || data.back() != 0)) {
        data.push_back(0);
      }
      MemoryRegistry::SetValue(into, *name, type, std::move(data));
    }
    return std::nullopt;
  }

  std::set<off64_t> visited_;
};

// libcreg follows a key's subkey and sibling links without noticing when they lead back
// to a key already met, and then lists subkeys until memory runs out. The links are
// checked here first, before libcreg sees the file: every key entry of the navigation
// block is to be reached once at most. The entries are found as libcreg finds them: a
// link is an offset from the place the navigation header names (not from the header
// itself, though Windows writes the two at the same place), the root key is the entry at
// offset 0x20, and no entry lies past the size the header gives. Everything else about
// the file is libcreg's to judge; links it cannot follow are left for it to refuse.
bool KeyLinksLoop(const std::string& bytes) {
  constexpr size_t kNavigation = 0x20, kHeaderSize = 0x20, kEntrySize = 28;
  constexpr uint32_t kRootKey = 0x20, kNone = 0xFFFFFFFF;
  if (bytes.size() < kNavigation + kHeaderSize || bytes.compare(kNavigation, 4, "RGKN") != 0)
    return false;
  const ByteReader file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const uint32_t declared = file.U32At(kNavigation + 4);
  if (declared < kHeaderSize) return false;
  const uint64_t area = declared - kHeaderSize;
  const uint64_t base = file.U32At(kNavigation + 8);
  const auto readable = [&](uint32_t offset) {
    return offset != kNone && offset + uint64_t{kEntrySize} <= area &&
           base + offset + kEntrySize <= bytes.size();
  };
  if (!readable(kRootKey)) return false;
  // The root's own sibling link is never followed, so the walk starts at its first subkey.
  std::set<uint32_t> met{kRootKey};
  std::vector<uint32_t> pending{file.U32At(base + kRootKey + 16)};
  while (!pending.empty()) {
    const uint32_t offset = pending.back();
    pending.pop_back();
    if (!readable(offset)) continue;
    if (!met.insert(offset).second) return true;
    const uint64_t at = base + offset;
    pending.push_back(file.U32At(at + 16));  // first subkey
    pending.push_back(file.U32At(at + 20));  // next sibling
  }
  return false;
}

// What is wrong with the file at first sight, in a reader's words, before libcreg sees
// it: no file at all, another kind of file, or one cut short, as its header (the key
// navigation block and each data block the header counts) shows. A file libcreg alone
// would read in part loses its keys without a word.
std::optional<std::string> WhyNotACregFile(const std::string& bytes) {
  if (bytes.empty()) return std::string("empty (0 bytes), not a Windows 9x registry file");
  if (bytes.compare(0, 4, "regf") == 0) {
    return std::string("an NT registry hive, not a Windows 9x registry file");
  }
  constexpr size_t kHeader = 0x20;
  if (bytes.size() < kHeader || bytes.compare(0, 4, "CREG") != 0) {
    return std::string("not a Windows 9x registry file (no CREG header)");
  }
  const ByteReader file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const auto cut = [&bytes](uint64_t needed) {
    return "cut short (" + std::to_string(bytes.size()) + " bytes of the " +
           std::to_string(needed) + " its header declares)";
  };
  const uint64_t navigationEnd = kHeader + uint64_t{file.U32At(kHeader + 4)};
  if (navigationEnd > bytes.size()) return cut(navigationEnd);
  uint64_t block = file.U32At(8);
  const uint16_t blocks = file.U16At(0x10);
  for (uint16_t i = 0; i < blocks; ++i) {
    if (block == bytes.size()) {
      // Ends where a block ends: cut there, or a header that counts wrong.
      return "its header counts " + std::to_string(blocks) + " data blocks, the file holds " +
             std::to_string(i) + " (cut short or damaged)";
    }
    if (block + kHeader > bytes.size()) return cut(block + kHeader);
    const uint32_t size = file.U32At(block + 4);
    if (bytes.compare(block, 4, "RGDB") != 0 || size < kHeader) break;  // libcreg's to judge
    if (block + size > bytes.size()) return cut(block + size);
    block += size;
  }
  return std::nullopt;
}

std::optional<std::string> LoadCregPath(const std::string& path, MemoryRegistry::Key* into);

}  // namespace

std::optional<std::string> LoadCregFile(const std::string& path, MemoryRegistry::Key* into) {
  std::string bytes;
  if (!ReadHostFile(path, kRegistryFileLimit, &bytes)) return std::string("cannot be read");
  return LoadCregBytes(bytes, into);
}

std::optional<std::string> LoadCregBytes(const std::string& bytes, MemoryRegistry::Key* into) {
  if (auto why = WhyNotACregFile(bytes)) return why;
  if (KeyLinksLoop(bytes)) return std::string("a key is its own ancestor or sibling (a loop)");
  return ThroughMemoryFile(bytes,
                           [into](const std::string& path) { return LoadCregPath(path, into); });
}

namespace {

std::optional<std::string> LoadCregPath(const std::string& path, MemoryRegistry::Key* into) {
  libcreg_error_t* failure = nullptr;
  libcreg_file_t* raw = nullptr;
  if (libcreg_file_initialize(&raw, &failure) != 1) return Describe(failure, "out of memory");
  File file(raw);
  if (libcreg_file_set_ascii_codepage(file.get(), kWesternCodePage, &failure) != 1) {
    return Describe(failure, "the code page cannot be set");
  }
  if (libcreg_file_open(file.get(), path.c_str(), LIBCREG_OPEN_READ, &failure) != 1) {
    return Describe(failure, "a damaged Windows 9x registry file");
  }
  libcreg_key_t* rootRaw = nullptr;
  const int found = libcreg_file_get_root_key(file.get(), &rootRaw, &failure);
  if (found != 1) {
    // libcreg answers "no root key" for a file whose data blocks are missing (one cut
    // short, say); Windows always writes a root key, so such a file is refused.
    return Describe(failure,
                    found == 0 ? "it has no root key (cut short?)" : "its root key cannot be read");
  }
  Key root(rootRaw);
  return CregWalk().Copy(root.get(), into, 0);
}

}  // namespace
}  // namespace korvane

// Walking the resource directory to RT_VERSION and reading the VS_VERSIONINFO blocks.
#include "platform/offline/formats/version_resource.h"

#include <vector>

#include "platform/byte_reader.h"
#include "platform/text_encoding.h"

namespace korvane {
namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

// One node of the version tree: wLength, wValueLength, wType, a UTF-16 key, then the
// value and the child nodes, each part aligned to four bytes from the block's start.
struct VersionNode {
  std::string key;
  size_t valueStart = 0;
  size_t valueBytes = 0;
  size_t childrenStart = 0;
  size_t end = 0;
};

std::optional<VersionNode> ReadNode(const uint8_t* data, size_t limit, size_t at) {
  const ByteReader bytes(data, limit);
  if (!bytes.Has(at, 6)) return std::nullopt;
  const size_t length = bytes.U16At(at);
  const size_t valueLength = bytes.U16At(at + 2);
  const bool text = bytes.U16At(at + 4) == 1;
  if (length < 6 || length > limit - at) return std::nullopt;
  VersionNode node;
  node.end = at + length;
  size_t p = at + 6;
  size_t units = 0;
  while (p + 2 <= node.end && bytes.U16At(p) != 0) {
    p += 2;
    ++units;
  }
  if (p + 2 > node.end) return std::nullopt;                             // the key has no end
  node.key = Utf16LeToAnsi(data + at + 6, units, kDefaultAnsiCodePage);  // ASCII names
  node.valueStart = Align4(p + 2);
  if (node.valueStart > node.end) node.valueStart = node.end;
  node.valueBytes = text ? valueLength * 2 : valueLength;
  if (node.valueBytes > node.end - node.valueStart) node.valueBytes = node.end - node.valueStart;
  node.childrenStart = Align4(node.valueStart + node.valueBytes);
  return node;
}

// The children of a node, in order; a damaged child ends the list.
std::vector<VersionNode> Children(const uint8_t* data, const VersionNode& parent) {
  std::vector<VersionNode> children;
  for (size_t at = parent.childrenStart; at < parent.end;) {
    const auto child = ReadNode(data, parent.end, at);
    if (!child) break;
    children.push_back(*child);
    at = Align4(child->end);
  }
  return children;
}

std::string TextValue(const uint8_t* data, const VersionNode& node, CodePage page) {
  std::string text = Utf16LeToAnsi(data + node.valueStart, node.valueBytes / 2, page);
  const size_t zero = text.find('\0');
  return zero == std::string::npos ? text : text.substr(0, zero);
}

std::string FixedFileVersion(const uint8_t* data, const VersionNode& root) {
  const ByteReader fixed(data + root.valueStart, root.valueBytes);
  if (!fixed.Has(0, 16) || fixed.U32At(0) != kFixedFileInfoSignature) return "";
  const uint32_t ms = fixed.U32At(8), ls = fixed.U32At(12);
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

// The entry of a resource directory at offset (from the resource section's start) whose
// id is wanted, or its first entry when wanted is empty.
std::optional<uint32_t> DirectoryEntry(const PeView& view, uint32_t offset,
                                       std::optional<uint32_t> wanted, bool* isDirectory) {
  const uint64_t base = view.image->resources.rva;
  const auto header = view.Offset(base + offset, 16);
  if (!header) return std::nullopt;
  const ByteReader file(view.data, view.size);
  const size_t count = size_t{file.U16At(*header + 12)} + file.U16At(*header + 14);
  for (size_t i = 0; i < count; ++i) {
    const auto entry = view.Offset(base + offset + 16 + 8 * uint64_t{i}, 8);
    if (!entry) return std::nullopt;
    const uint32_t id = file.U32At(*entry), target = file.U32At(*entry + 4);
    if (wanted && id != *wanted) continue;
    *isDirectory = (target & kSubdirectoryBit) != 0;
    return target & ~kSubdirectoryBit;
  }
  return std::nullopt;
}

}  // namespace

std::optional<VersionStrings> ParseVersionInfo(const uint8_t* data, size_t size, CodePage page) {
  const auto root = ReadNode(data, size, 0);
  if (!root || root->key != "VS_VERSION_INFO") return std::nullopt;
  VersionStrings strings;
  bool haveVersionText = false;
  for (const VersionNode& info : Children(data, *root)) {
    if (info.key != "StringFileInfo") continue;
    const std::vector<VersionNode> tables = Children(data, info);
    if (tables.empty()) continue;
    for (const VersionNode& entry : Children(data, tables.front())) {
      if (entry.key == "FileDescription") strings.fileDescription = TextValue(data, entry, page);
      if (entry.key == "FileVersion") {
        strings.fileVersion = TextValue(data, entry, page);
        haveVersionText = true;
      }
    }
    break;
  }
  if (!haveVersionText) strings.fileVersion = FixedFileVersion(data, *root);
  return strings;
}

std::optional<VersionStrings> ReadVersionStrings(const PeView& view, CodePage page) {
  if (view.image->resources.rva == 0) return std::nullopt;
  bool isDirectory = false;
  // Three levels: type, then name, then language; the first name and language serve.
  auto next = DirectoryEntry(view, 0, kRtVersion, &isDirectory);
  if (!next || !isDirectory) return std::nullopt;
  next = DirectoryEntry(view, *next, std::nullopt, &isDirectory);
  if (!next || !isDirectory) return std::nullopt;
  next = DirectoryEntry(view, *next, std::nullopt, &isDirectory);
  if (!next || isDirectory) return std::nullopt;
  const auto dataEntry = view.Offset(uint64_t{view.image->resources.rva} + *next, 16);
  if (!dataEntry) return std::nullopt;
  const ByteReader file(view.data, view.size);
  const uint32_t rva = file.U32At(*dataEntry), size = file.U32At(*dataEntry + 4);
  const auto block = view.Offset(rva, size);
  if (!block) return std::nullopt;
  return ParseVersionInfo(view.data + *block, size, page);
}

}  // namespace korvane

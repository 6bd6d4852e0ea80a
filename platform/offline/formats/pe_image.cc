// PE header parsing with every offset and size checked against the file.
#include "platform/offline/formats/pe_image.h"

#include <cstdio>
#include <cstring>

namespace korvane {
namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kImportDescriptorSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kLibraryNameLimit = 256;
// Far more than any real image; a bound so that a crafted table cannot run for long.
constexpr size_t kImportLimit = 4096;

// Little-endian fields read one by one, each only when it lies inside the bytes.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= size_ && size_ - offset >= count;
  }
  bool U16(uint64_t offset, uint16_t* value) const {
    if (!Has(offset, 2)) return false;
    *value = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    return true;
  }
  bool U32(uint64_t offset, uint32_t* value) const {
    if (!Has(offset, 4)) return false;
    *value = static_cast<uint32_t>(data_[offset]) |
             (static_cast<uint32_t>(data_[offset + 1]) << 8) |
             (static_cast<uint32_t>(data_[offset + 2]) << 16) |
             (static_cast<uint32_t>(data_[offset + 3]) << 24);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

std::nullopt_t Invalid(std::string* whyNot, const std::string& detail) {
  *whyNot = "not a valid PE image: " + detail;
  return std::nullopt;
}

// What an MZ file whose new header is not "PE\0\0" is instead.
std::string NonPeKind(const uint8_t* data, size_t size, uint32_t newHeader) {
  if (newHeader <= size && size - newHeader >= 2) {
    const char a = static_cast<char>(data[newHeader]), b = static_cast<char>(data[newHeader + 1]);
    if (a == 'N' && b == 'E') return "a 16-bit (NE) module, not a 32-bit PE image";
    if (a == 'L' && (b == 'E' || b == 'X')) return "a VxD or OS/2 (LE/LX) module, not a PE image";
  }
  return "an MS-DOS program, not a PE image";
}

bool ReadSections(const Bytes& bytes, uint64_t table, uint16_t count, PeImage* image) {
  if (!bytes.Has(table, uint64_t{count} * kSectionHeaderSize)) return false;
  for (uint16_t i = 0; i < count; ++i) {
    const uint64_t at = table + uint64_t{i} * kSectionHeaderSize;
    PeSection s;
    bytes.U32(at + 8, &s.virtualSize);
    bytes.U32(at + 12, &s.virtualAddress);
    bytes.U32(at + 16, &s.rawSize);
    bytes.U32(at + 20, &s.rawOffset);
    image->sections.push_back(s);
  }
  return true;
}

std::optional<std::string> ReadLibraryName(const PeView& view, uint32_t rva) {
  const size_t available = view.BytesAt(rva);
  const auto offset = view.Offset(rva, 1);
  if (!offset) return std::nullopt;
  const size_t limit = available < kLibraryNameLimit ? available : kLibraryNameLimit;
  for (size_t n = 0; n < limit; ++n) {
    if (view.data[*offset + n] == 0) {
      return n == 0 ? std::nullopt
                    : std::optional<std::string>(
                          std::string(reinterpret_cast<const char*>(view.data + *offset), n));
    }
  }
  return std::nullopt;
}

bool ReadImports(const Bytes& bytes, const PeView& view, PeDirectory table, PeImage* image,
                 std::string* whyNot) {
  if (table.rva == 0) return true;
  for (uint64_t at = table.rva;; at += kImportDescriptorSize) {
    const auto offset = view.Offset(at, kImportDescriptorSize);
    if (!offset) {
      Invalid(whyNot, "its import table lies outside the file");
      return false;
    }
    uint32_t nameRva = 0, firstThunk = 0;
    bytes.U32(*offset + 12, &nameRva);
    bytes.U32(*offset + 16, &firstThunk);
    if (nameRva == 0 || firstThunk == 0) return true;  // the closing entry
    if (image->imports.size() >= kImportLimit) {
      Invalid(whyNot, "its import table names more than 4096 libraries");
      return false;
    }
    const auto name = ReadLibraryName(view, nameRva);
    if (!name) {
      Invalid(whyNot, "an imported library name lies outside the file or has no end");
      return false;
    }
    image->imports.push_back(*name);
  }
}

}  // namespace

std::optional<size_t> PeView::Offset(uint64_t rva, size_t count) const {
  if (rva < image->sizeOfHeaders) {
    if (rva <= size && size - rva >= count && image->sizeOfHeaders - rva >= count) {
      return static_cast<size_t>(rva);
    }
    return std::nullopt;
  }
  for (const PeSection& s : image->sections) {
    if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
    const uint64_t inSection = rva - s.virtualAddress;
    if (s.rawSize - inSection < count) return std::nullopt;
    const uint64_t offset = uint64_t{s.rawOffset} + inSection;
    if (offset > size || size - offset < count) return std::nullopt;
    return static_cast<size_t>(offset);
  }
  return std::nullopt;
}

size_t PeView::BytesAt(uint64_t rva) const {
  uint64_t regionLeft = 0, offset = 0;
  if (rva < image->sizeOfHeaders) {
    regionLeft = image->sizeOfHeaders - rva;
    offset = rva;
  } else {
    for (const PeSection& s : image->sections) {
      if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
      regionLeft = s.rawSize - (rva - s.virtualAddress);
      offset = uint64_t{s.rawOffset} + (rva - s.virtualAddress);
      break;
    }
  }
  if (offset >= size) return 0;
  const uint64_t fileLeft = size - offset;
  return static_cast<size_t>(regionLeft < fileLeft ? regionLeft : fileLeft);
}

std::optional<PeImage> ParsePeImage(const uint8_t* data, size_t size, std::string* whyNot) {
  const Bytes bytes(data, size);
  if (size < 2 || data[0] != 'M' || data[1] != 'Z') {
    *whyNot = "not a PE image";
    return std::nullopt;
  }
  uint32_t newHeader = 0;
  if (!bytes.U32(0x3C, &newHeader))
    return Invalid(whyNot, "the file ends inside its MS-DOS header");
  if (!bytes.Has(newHeader, 4) || data[newHeader] != 'P' || data[newHeader + 1] != 'E' ||
      data[newHeader + 2] != 0 || data[newHeader + 3] != 0) {
    *whyNot = NonPeKind(data, size, newHeader);
    return std::nullopt;
  }
  const uint64_t coff = uint64_t{newHeader} + 4;
  PeImage image;
  uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!bytes.U16(coff, &image.machine) || !bytes.U16(coff + 2, &sectionCount) ||
      !bytes.U16(coff + 16, &optionalSize) || !bytes.U16(coff + 18, &image.characteristics)) {
    return Invalid(whyNot, "the file ends inside its file header");
  }
  const uint64_t optional = coff + 20;
  if (!bytes.Has(optional, optionalSize) || !bytes.U16(optional, &magic)) {
    return Invalid(whyNot, "the file ends inside its optional header");
  }
  if (magic != kPe32Magic && magic != kPe32PlusMagic) {
    return Invalid(whyNot, "its optional header has an unknown kind");
  }
  image.is64 = magic == kPe32PlusMagic;
  const uint64_t countAt = image.is64 ? 108 : 92;
  uint32_t directoryCount = 0;
  if (optionalSize < countAt + 4 || !bytes.U32(optional + 60, &image.sizeOfHeaders) ||
      !bytes.U32(optional + countAt, &directoryCount)) {
    return Invalid(whyNot, "its optional header is too short");
  }
  if (directoryCount > 16) directoryCount = 16;
  if (optionalSize - (countAt + 4) < uint64_t{directoryCount} * 8) {
    return Invalid(whyNot, "its data directories do not fit its optional header");
  }
  const uint64_t directories = optional + countAt + 4;
  PeDirectory importTable;
  if (directoryCount > 1) {
    bytes.U32(directories + 8, &importTable.rva);
    bytes.U32(directories + 12, &importTable.size);
  }
  if (directoryCount > 2) {
    bytes.U32(directories + 16, &image.resources.rva);
    bytes.U32(directories + 20, &image.resources.size);
  }
  if (!ReadSections(bytes, optional + optionalSize, sectionCount, &image)) {
    return Invalid(whyNot, "its section table runs past the end of the file");
  }
  const PeView view{data, size, &image};
  if (!ReadImports(bytes, view, importTable, &image, whyNot)) return std::nullopt;
  return image;
}

std::string MachineName(uint16_t machine) {
  switch (machine) {
    case kMachineI386:
      return "i386";
    case kMachineX8664:
      return "x86-64";
    case 0x0200:
      return "Itanium";
    case 0x01C0:
      return "ARM";
    case 0x01C4:
      return "ARM Thumb-2";
    case 0xAA64:
      return "ARM64";
    case 0x0166:
      return "MIPS";
    case 0x0184:
      return "Alpha";
    case 0x01F0:
      return "PowerPC";
    default:
      break;
  }
  char text[32];
  std::snprintf(text, sizeof text, "machine type 0x%04X", machine);
  return text;
}

bool IsWineBuiltinDll(const std::string& headBytes) {
  constexpr size_t kStubStart = 0x40;
  if (headBytes.size() < kStubStart || headBytes.compare(0, 2, "MZ") != 0) return false;
  for (const char* marker : {"Wine builtin DLL", "Wine placeholder DLL"}) {
    if (headBytes.compare(kStubStart, std::strlen(marker), marker) == 0) return true;
  }
  return false;
}

}  // namespace korvane

// Fields read from bytes one by one, each only when it lies inside them (little-endian, as
// Windows stores them, and big-endian where a Linux interface hands them over), and
// FourCC codes built from their four characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvane {

// The code of a four-character tag ("RIFF", "vids", "cvid") as it is stored: the first
// character in the lowest byte. A shorter text leaves the missing bytes zero; characters
// past the fourth are not read.
constexpr uint32_t FourCC(std::string_view text) {
  uint32_t code = 0;
  for (size_t i = 0; i < 4 && i < text.size(); ++i) {
    code |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  return code;
}

// A view of size bytes at data. Every read checks its offset and width against the size
// without overflow, so no offset taken from a file reads outside the bytes.
class ByteReader {
 public:
  constexpr ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t size() const { return size_; }

  // True when the count bytes at offset all lie inside.
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= size_ && size_ - offset >= count;
  }

  // The field at offset into *value; false, *value untouched, when it is not all inside.
  bool U16(uint64_t offset, uint16_t* value) const {
    if (!Has(offset, 2)) return false;
    *value = static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
    return true;
  }
  bool U32(uint64_t offset, uint32_t* value) const {
    if (!Has(offset, 4)) return false;
    *value = static_cast<uint32_t>(data_[offset]) | static_cast<uint32_t>(data_[offset + 1]) << 8 |
             static_cast<uint32_t>(data_[offset + 2]) << 16 |
             static_cast<uint32_t>(data_[offset + 3]) << 24;
    return true;
  }

  // A big-endian field (ntfs-3g's system.ntfs_attrib_be attribute).
  bool U32Be(uint64_t offset, uint32_t* value) const {
    if (!Has(offset, 4)) return false;
    *value = static_cast<uint32_t>(data_[offset]) << 24 |
             static_cast<uint32_t>(data_[offset + 1]) << 16 |
             static_cast<uint32_t>(data_[offset + 2]) << 8 |
             static_cast<uint32_t>(data_[offset + 3]);
    return true;
  }

  // The field at offset, or 0 when it is not all inside: for fields whose presence the
  // caller has already checked against a length.
  uint16_t U16At(uint64_t offset) const {
    uint16_t value = 0;
    U16(offset, &value);
    return value;
  }
  uint32_t U32At(uint64_t offset) const {
    uint32_t value = 0;
    U32(offset, &value);
    return value;
  }
  uint32_t U32BeAt(uint64_t offset) const {
    uint32_t value = 0;
    U32Be(offset, &value);
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace korvane

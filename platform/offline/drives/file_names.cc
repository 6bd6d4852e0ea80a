// File names narrowed to the machine's ANSI code page, and FAT short names read from
// their directory entries.
#include "platform/offline/drives/file_names.h"

#ifndef _WIN32
#include <locale.h>
#include <wctype.h>
#endif

#include "platform/ascii.h"
#include "platform/byte_reader.h"

namespace korvane {
namespace {

// One part of an 8.3 name (base or extension) as UTF-8, its padding spaces dropped; lower
// case is applied after the conversion, where no double-byte character's trail byte can
// be taken for a letter.
std::string ShortNamePart(std::string_view bytes, bool lower, CodePage oem) {
  size_t end = bytes.size();
  while (end > 0 && bytes[end - 1] == ' ') --end;
  const std::string utf8 = AnsiToUtf8(bytes.substr(0, end), oem);
  return lower ? AsciiLower(utf8) : utf8;
}

// A character in lower case, as Windows compares names without regard to case: by the
// Unicode case of each character, through the C library's UTF-8 locale (ASCII alone
// where the host has none).
char32_t LowerCase(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
#ifndef _WIN32
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8 != static_cast<locale_t>(0)) {
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8));
  }
#endif
  return c;
}

constexpr unsigned char kFreeEntryMark = 0xE5;
constexpr unsigned char kEscapedE5 = 0x05;
constexpr unsigned char kLowerBase = 0x08;
constexpr unsigned char kLowerExtension = 0x10;
constexpr uint64_t kFirstSlotAddress = 3;  // 2 is the root folder, which has no entry

}  // namespace

std::string AnsiFromHostName(const std::string& hostName, CodePage ansi) {
  if (IsAscii(hostName) || !IsUtf8(hostName)) return hostName;
  return Utf8ToAnsi(hostName, ansi);
}

std::string FileNameKey(const std::string& ansiName, CodePage ansi) {
  if (IsAscii(ansiName)) return AsciiLower(ansiName);
  const std::string utf8 = AnsiToUtf8(ansiName, ansi);
  std::string key;
  char32_t c = 0;
  for (size_t pos = 0, length = 0; pos < utf8.size(); pos += length) {
    length = Utf8SequenceAt(utf8, pos, &c);
    if (length == 0) {
      key += utf8[pos];
      length = 1;
    } else {
      AppendUtf8(LowerCase(c), &key);
    }
  }
  return key;
}

std::string AnsiFromShortEntry(std::string_view entry, const FileNameCodePages& pages) {
  if (entry.size() < kFatEntrySize) return std::string();
  std::string name(entry.substr(0, 11));
  if (static_cast<unsigned char>(name[0]) == kEscapedE5)
    name[0] = static_cast<char>(kFreeEntryMark);
  const auto flags = static_cast<unsigned char>(entry[12]);
  std::string utf8 =
      ShortNamePart(std::string_view(name).substr(0, 8), (flags & kLowerBase) != 0, pages.oem);
  const std::string extension =
      ShortNamePart(std::string_view(name).substr(8, 3), (flags & kLowerExtension) != 0, pages.oem);
  if (!extension.empty()) utf8 += "." + extension;
  return Utf8ToAnsi(utf8, pages.ansi);
}

bool ShortEntryMatches(std::string_view entry, const std::string& givenName) {
  if (entry.size() < kFatEntrySize) return false;
  const auto flags = static_cast<unsigned char>(entry[12]);
  std::string expected;
  const auto append = [&expected, entry](size_t from, size_t count, bool lower) {
    size_t end = from + count;
    while (end > from && entry[end - 1] == ' ') --end;
    for (size_t i = from; i < end; ++i) {
      char c = entry[i];
      if (lower && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      expected += c;
    }
  };
  append(0, 8, (flags & kLowerBase) != 0);
  if (entry[8] != ' ' || entry[9] != ' ' || entry[10] != ' ') {
    expected += '.';
    append(8, 3, (flags & kLowerExtension) != 0);
  }
  if (expected.size() != givenName.size()) return false;
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto c = static_cast<unsigned char>(expected[i]);
    const bool printable = c >= 0x20 && c < 0x7F;
    if (printable && expected[i] != givenName[i]) return false;
  }
  return true;
}

std::optional<uint64_t> FatEntryOffset(std::string_view bootSector, uint64_t address) {
  const ByteReader boot(reinterpret_cast<const uint8_t*>(bootSector.data()), bootSector.size());
  uint16_t sectorSize = 0, reserved = 0, sectorsPerFat16 = 0;
  uint32_t sectorsPerFat = 0;
  if (address < kFirstSlotAddress || !boot.Has(0x10, 1) || !boot.U16(0x0B, &sectorSize) ||
      !boot.U16(0x0E, &reserved) || !boot.U16(0x16, &sectorsPerFat16)) {
    return std::nullopt;
  }
  // FAT32 keeps its FAT size in a field of its own, after the common ones.
  if (sectorsPerFat16 != 0) {
    sectorsPerFat = sectorsPerFat16;
  } else if (!boot.U32(0x24, &sectorsPerFat)) {
    return std::nullopt;
  }
  const bool powerOfTwo = (sectorSize & (sectorSize - 1)) == 0;
  if (sectorSize < 512 || sectorSize > 4096 || !powerOfTwo) return std::nullopt;
  const uint64_t fats = static_cast<unsigned char>(bootSector[0x10]);
  const uint64_t firstDataSector = reserved + fats * sectorsPerFat;
  const uint64_t perSector = sectorSize / kFatEntrySize;
  const uint64_t slot = address - kFirstSlotAddress;
  return (firstDataSector + slot / perSector) * sectorSize + slot % perSector * kFatEntrySize;
}

}  // namespace korvane
